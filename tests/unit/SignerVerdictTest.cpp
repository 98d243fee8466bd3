// Who may sign an image: the verdict on a signer's facts, one case per way a signer can fall short.
#include <gtest/gtest.h>

#include "SignerVerdict.h"

TEST(SignerVerdict, OnlyATrustedSignerOrOneATrustedCaIssuedForCodeSigningAndValidWhenItSignedIsTrusted) {
    using T = SignerTrust;
    const IssuerFacts ca{true, true, true}, caWithoutKeyUsage{true, false, false}, caNotForCerts{true, true, false},
        notCa{false, false, false};
    const std::vector<std::string> codeSigning{"1.3.6.1.5.5.7.3.1", "1.3.6.1.5.5.7.3.3"}, any{"2.5.29.37.0"},
        serverAuth{"1.3.6.1.5.5.7.3.1"}, none{};
    const std::string from = "2026-01-01T00:00:00Z", to = "2027-01-01T00:00:00Z";
    const struct {
        SignerFacts facts;
        SignerTrust trust;
        const char* reason;
    } cases[] = {
        {{true, {}, std::nullopt, from, to, "2026-06-01T12:00:00Z"}, T::Trusted, ""},
        {{false, {ca}, std::nullopt, from, to, from}, T::Trusted, ""},
        {{false, {notCa, caWithoutKeyUsage}, codeSigning, from, to, to}, T::Trusted, ""},
        {{true, {}, any, from, to, from}, T::Trusted, ""},
        {{false, {}, std::nullopt, from, to, from}, T::NoTrustedIssuer, ""},
        {{false, {notCa}, std::nullopt, from, to, from}, T::IssuerNotCa, "issuer is no CA"},
        {{false, {caNotForCerts}, std::nullopt, from, to, from}, T::IssuerNotCa, "issuer is no CA"},
        {{false, {ca}, serverAuth, from, to, from}, T::NotForCodeSigning, "not for code signing"},
        {{true, {}, none, from, to, from}, T::NotForCodeSigning, "not for code signing"},
        {{false, {ca}, std::nullopt, "2020-01-01T00:00:00Z", "2021-03-01T00:00:00Z", from},
         T::Expired,
         "expired 2021-03-01"},
        {{true, {}, std::nullopt, "2035-01-01T00:00:00Z", to, from}, T::NotYetValid, "not valid before 2035-01-01"},
        {{false, {ca}, std::nullopt, from, to, ""}, T::UnknownValidity, "validity unknown"},
    };
    for (const auto& c : cases) {
        const SignerVerdict verdict = JudgeSigner(c.facts);
        EXPECT_EQ(verdict.trust, c.trust) << &c - cases;
        EXPECT_EQ(verdict.reason, c.reason) << &c - cases;
    }
}
