// The console flasher against the emulated device: what the device receives, exit codes from real causes, waits,
// a production run of several devices, the log and the JSON events; and the digest it computes.
#include <algorithm>
#include <optional>
#include <sstream>

#include <windows.h>

#include <bcrypt.h>

#include "DevSimNames.h"
#include "FlashRun.h"
#include "ScopedMachinePolicy.h"
#include "RunLog.h"
#include "Sha256.h"
#include "ToolSession.h"

namespace {

using e2e::FlashRun;
using e2e::ImageLayout;
using Json = std::map<std::string, std::string>;

constexpr std::size_t kHeaderArea = 1024;
constexpr std::size_t kChunk = 2048;

// The digest from CNG, a different door into the system than the flasher's CryptoAPI.
std::string ReferenceSha256(const std::string& bytes) {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    UCHAR digest[32] = {};
    if (BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) == 0) {
        if (BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) == 0) {
            BCryptHashData(hash, reinterpret_cast<UCHAR*>(const_cast<char*>(bytes.data())),
                           static_cast<ULONG>(bytes.size()), 0);
            BCryptFinishHash(hash, digest, sizeof digest, 0);
            BCryptDestroyHash(hash);
        }
        BCryptCloseAlgorithmProvider(algorithm, 0);
    }
    std::string hex;
    char pair[3];
    for (const UCHAR byte : digest) {
        std::snprintf(pair, sizeof pair, "%02x", byte);
        hex += pair;
    }
    return hex;
}

// Each line a JSON object; a line that is not one fails the test.
std::vector<Json> JsonLines(const std::string& text) {
    std::vector<Json> objects;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        Json object;
        EXPECT_TRUE(e2e::ParseFlatJson(line, object)) << line;
        objects.push_back(object);
    }
    return objects;
}

class FlashTest : public ToolSession {
protected:
    void SetUp() override {
        ToolSession::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(CopyFileA(BuiltFile("tool\\ostrel-flash.exe").c_str(), PathOf("ostrel-flash.exe").c_str(), FALSE))
            << GetLastError();
        // The flasher inherits it, and with it this test's emulator.
        SetEnvironmentVariableA(DevSim::kInstanceVariable, Instance().c_str());
    }

    std::unique_ptr<FlashRun> Start(const std::wstring& arguments) {
        return std::make_unique<FlashRun>(AnsiToWide(PathOf("")), arguments);
    }

    // The attempts' ends: an attempt that sends logs its start before them (see TheLogKeepsAKilledRunAndATornLine).
    std::vector<Json> LogLines(const char* name) const {
        std::vector<Json> lines = JsonLines(FileContents(PathOf(name)));
        lines.erase(
            std::remove_if(lines.begin(), lines.end(),
                           [](const Json& line) { return line.count("result") && line.at("result") == "started"; }),
            lines.end());
        return lines;
    }

    static std::string Image(std::size_t size) {
        ImageLayout layout;
        layout.size = size;
        return e2e::MakeImage(layout);
    }
};

TEST(FlashDigest, Sha256MatchesThePublishedVectors) {
    const struct {
        std::string message;
        const char* digest;
    } vectors[] = {
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& v : vectors) {
        EXPECT_EQ(Sha256Hex(reinterpret_cast<const std::uint8_t*>(v.message.data()), v.message.size()), v.digest)
            << v.message.size() << " bytes";
    }
}

TEST_F(FlashTest, ADownloadSendsTheImageReportsJsonLinesAndLogsIt) {
    ASSERT_TRUE(StartDevice());
    const std::string image = Image(kHeaderArea + 40 * kChunk + 1000);
    PutImage("image.hdr", image);
    // Outside any ANSI code page, with a blank: the wide command line and file functions carry it.
    const std::wstring name = L"\u043e\u0431\u0440\u0430\u0437 \u00e9\U0001F600.hdr";
    ASSERT_TRUE(MoveFileW(AnsiToWide(PathOf("image.hdr")).c_str(), (AnsiToWide(PathOf("")) + name).c_str()));

    const auto run = Start(L"--json --log=flash.log \"" + name + L"\"");
    ASSERT_EQ(run->Wait(), 0) << run->Err();
    // A write ends when the bytes are in the pipe; the device has them all once it counts the download.
    ASSERT_NE(Device().WaitForLine("download"), "");
    EXPECT_EQ(Captured(), e2e::DeviceStream(image));
    EXPECT_EQ(LoggedWrites(), e2e::WriteSizes(image.size()));
    EXPECT_EQ(run->Err(), "");

    const std::string total = std::to_string(e2e::DeviceStream(image).size());
    const std::string sha256 = ReferenceSha256(image);
    const std::string fullPath = PathOf("") + Utf8(name);
    const std::vector<Json> events = JsonLines(run->Out());
    ASSERT_GE(events.size(), 4u) << run->Out();
    EXPECT_EQ(events.front().at("event"), "image");
    EXPECT_EQ(events.front().at("image"), fullPath);
    EXPECT_EQ(events.front().at("sha256"), sha256);
    EXPECT_EQ(events.front().at("date"), "31/12/2014");
    EXPECT_EQ(events[1].at("event"), "device");
    int lastPercent = -1;
    for (std::size_t i = 2; i + 1 < events.size(); ++i) {
        EXPECT_EQ(events[i].at("event"), "progress");
        EXPECT_GT(std::stoi(events[i].at("percent")), lastPercent);
        lastPercent = std::stoi(events[i].at("percent"));
    }
    EXPECT_EQ(lastPercent, 100);
    const Json& result = events.back();
    EXPECT_EQ(result.at("event"), "result");
    EXPECT_EQ(result.at("ok"), "true");
    EXPECT_EQ(result.at("bytes"), total);

    const std::vector<Json> log = LogLines("flash.log");
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].at("result"), "ok");
    EXPECT_EQ(log[0].at("sha256"), sha256);
    EXPECT_EQ(log[0].at("image"), fullPath);
    EXPECT_EQ(log[0].at("bytes"), total);
    EXPECT_EQ(log[0].at("size"), std::to_string(image.size()));
    EXPECT_EQ(log[0].at("time").back(), 'Z');
    EXPECT_FALSE(log[0].at("host").empty());
}

TEST_F(FlashTest, EachRefusalHasItsExitCodeAndReasonAndSendsNothing) {
    ImageLayout valid;
    valid.size = kHeaderArea + 3 * kChunk;
    ImageLayout noMarker = valid;
    noMarker.marker = '#';
    ImageLayout uart = valid;
    uart.port = 0;
    PutImage("valid.hdr", e2e::MakeImage(valid));
    PutImage("short.hdr", Image(kHeaderArea + 3));
    PutImage("marker.hdr", e2e::MakeImage(noMarker));
    PutImage("uart.hdr", e2e::MakeImage(uart));
    // 4 GiB more than a valid image, sparse: a 32-bit size would see the valid image alone.
    const std::string huge = PutImage("huge.hdr", e2e::MakeImage(valid));
    {
        const FileHandle file(CreateFileA(huge.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        LARGE_INTEGER end;
        end.QuadPart = (1LL << 32) + static_cast<LONGLONG>(valid.size);
        ASSERT_TRUE(SetFilePointerEx(file.Get(), end, nullptr, FILE_BEGIN) && SetEndOfFile(file.Get()));
    }

    enum class Setup { None, Device, NoLibrary, EmptyLibrary, OtherArchLibrary, LackingLibrary, PipeTaken };
    // Error 193, and what it means for this program.
    const char* otherArch = sizeof(void*) == 8 ? "is a 32-bit library" : "is a 64-bit library";
    // Error 126 for a library that is there: the file is named, and what it lacks.
    const std::string lacking = "found at " + PathOf("TarselUSB.dll") + ", but a library it needs is missing";
    const struct {
        const char* image;
        Setup setup;
        int code;
        const char* reason;
        const char* cause; // named on standard error only
    } cases[] = {
        {"short.hdr", Setup::None, 65, "shorter than 1028 bytes", ""},
        {"marker.hdr", Setup::None, 65, "not an Ostrel firmware image", ""},
        {"uart.hdr", Setup::None, 65, "UART", ""},
        {"huge.hdr", Setup::None, 65, "too large", ""},
        {"missing.hdr", Setup::None, 66, "cannot be opened", "missing.hdr: "},
        {"valid.hdr", Setup::None, 69, "no Ostrel device is attached: connect it, or add --wait", ""},
        {"valid.hdr", Setup::Device, 69, "TarselUSB.dll", "error 127 ("},
        {"valid.hdr", Setup::NoLibrary, 69, "TarselUSB.dll", "error 126 ("},
        {"valid.hdr", Setup::EmptyLibrary, 69, "TarselUSB.dll", "error 127 ("},
        {"valid.hdr", Setup::OtherArchLibrary, 69, "TarselUSB.dll", otherArch},
        {"valid.hdr", Setup::LackingLibrary, 69, "TarselUSB.dll", lacking.c_str()},
        {"valid.hdr", Setup::PipeTaken, 69, "another program may be using it", ""},
    };
    const auto usage = Start(L"--repeat --count=0 valid.hdr");
    EXPECT_EQ(usage->Wait(), 64);
    EXPECT_NE(usage->Err().find("--count"), std::string::npos) << usage->Err();

    const std::string library = PathOf("TarselUSB.dll");
    FileHandle heldPipe;
    int attempts = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        if (c.setup == Setup::Device) {
            ASSERT_TRUE(StartDevice());
            // A library that lacks open_dev and open_file, as a broken driver installation has.
            ASSERT_TRUE(CopyFileA(BuiltFile("TarselUSB-empty.dll").c_str(), library.c_str(), FALSE));
        } else if (c.setup == Setup::NoLibrary) {
            ASSERT_TRUE(DeleteFileA(library.c_str()));
        } else if (c.setup == Setup::PipeTaken) {
            ASSERT_TRUE(CopyFileA(BuiltFile("TarselUSB.dll").c_str(), library.c_str(), FALSE));
            heldPipe = FileHandle(CallOpenFile(DevSim::kPipeName));
            ASSERT_TRUE(heldPipe.IsValid());
        }
        if (c.setup == Setup::EmptyLibrary) {
            ASSERT_TRUE(CopyFileA(BuiltFile("TarselUSB-empty.dll").c_str(), library.c_str(), FALSE));
        } else if (c.setup == Setup::OtherArchLibrary) {
            ASSERT_TRUE(CopyFileA(BuiltFile("TarselUSB-otherarch.dll").c_str(), library.c_str(), FALSE));
        } else if (c.setup == Setup::LackingLibrary) {
            ASSERT_TRUE(CopyFileA(BuiltFile("TarselUSB-lacking.dll").c_str(), library.c_str(), FALSE));
        }
        const auto run = Start(L"--log=refused.log " + AnsiToWide(c.image));
        EXPECT_EQ(run->Wait(), c.code) << run->Err();
        EXPECT_NE(run->Err().find(c.reason), std::string::npos) << run->Err();
        EXPECT_NE(run->Err().find(c.cause), std::string::npos) << run->Err();
        ++attempts;
        const std::vector<Json> log = LogLines("refused.log");
        ASSERT_EQ(log.size(), static_cast<std::size_t>(attempts));
        EXPECT_EQ(log.back().at("result"), "refused");
        EXPECT_NE(log.back().at("reason").find(c.reason), std::string::npos);
        EXPECT_EQ(log.back().at("bytes"), "0");
    }
    heldPipe.Close();
    EXPECT_EQ(Captured(), "");
}

TEST_F(FlashTest, OnlyAnUndamagedImageFromATrustedSignerIsWrittenWhereASignatureIsRequired) {
    const std::string fixtures = BuiltFile("..\\win\\signing\\");
    const std::string image = FileContents(fixtures + "image.hdr");
    ASSERT_FALSE(image.empty()) << "no signing fixtures in " << fixtures;
    CreateDirectoryA(PathOf("trusted").c_str(), nullptr);
    ASSERT_TRUE(CopyFileA((fixtures + "trusted\\vendor.crt").c_str(), PathOf("trusted\\vendor.crt").c_str(), FALSE));
    // A certificate that may not issue others, trusted as a signer of its own: what it issued is no more trusted.
    ASSERT_TRUE(CopyFileA((fixtures + "trusted\\notca.crt").c_str(), PathOf("trusted\\notca.crt").c_str(), FALSE));
    ASSERT_TRUE(StartDevice());
    std::string flipped = image;
    flipped[kHeaderArea + 100] ^= 1;
    const struct {
        const char* signature; // beside the image, or none
        const std::string* bytes;
        const wchar_t* options;
        bool policy;
        int code;
        const char* said; // on standard error, or in the log's signer for a download
    } cases[] = {
        {"vendor", &image, L"--require-signature", false, 0, "CN=Vendor"},
        {"vendor", &flipped, L"", false, 65, "does not verify"},
        {"stranger", &image, L"", false, 77, "CN=Stranger"},
        {"impostor", &image, L"", false, 77, "CN=Vendor"}, // the vendor's name and serial number, another key
        {nullptr, &image, L"--require-signature", false, 77, "accepts only signed images"},
        {nullptr, &image, L"", true, 77, "accepts only signed images"},
        {"leaf", &image, L"", true, 0, "CN=Leaf"},
        // Issued by the trusted CA, but not for this, or not at the time it signed.
        {"tls", &image, L"", false, 77, "tests (not for code signing)"},
        {"expired", &image, L"", false, 77, "tests (expired 2021-03-01)"},
        {"future", &image, L"", true, 77, "tests (not valid before 2035-01-01)"},
        {"underling", &image, L"", false, 77, "tests (issuer is no CA)"},
        {"attached", &image, L"", false, 65, "not a detached signature"}, // the vendor's, carrying the image
    };
    std::size_t written = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.signature ? c.signature : "unsigned") + (c.policy ? " under the policy" : ""));
        PutImage("fw.hdr", *c.bytes);
        DeleteFileA(PathOf("fw.hdr.p7s").c_str());
        if (c.signature) {
            ASSERT_TRUE(CopyFileA((fixtures + c.signature + ".p7s").c_str(), PathOf("fw.hdr.p7s").c_str(), FALSE));
        }
        // The leaf's issuer joins the trusted certificates last, after the stranger was refused.
        if (std::string(c.signature ? c.signature : "") == "leaf") {
            ASSERT_TRUE(CopyFileA((fixtures + "trusted\\ca.cer").c_str(), PathOf("trusted\\ca.cer").c_str(), FALSE));
        }
        std::optional<ScopedMachinePolicy> policy;
        if (c.policy)
            policy.emplace(L"RequireSignedImages", 1);
        const auto run = Start(std::wstring(c.options) + L" --log=gate.log fw.hdr");
        EXPECT_EQ(run->Wait(), c.code) << run->Err();
        const Json logged = LogLines("gate.log").back();
        // The digest that the signature's check computed is the one logged: it must be these bytes'.
        EXPECT_EQ(logged.at("sha256"), ReferenceSha256(*c.bytes));
        if (c.code == 0) {
            written += e2e::DeviceStream(image).size();
            EXPECT_EQ(logged.at("signature"), "valid");
            EXPECT_NE(logged.at("signer").find(c.said), std::string::npos) << logged.at("signer");
        } else {
            EXPECT_NE(run->Err().find(c.said), std::string::npos) << run->Err();
            EXPECT_EQ(logged.at("result"), "refused");
        }
        EXPECT_EQ(logged.count("policy") ? logged.at("policy") : "", c.policy ? "RequireSignedImages" : "");
        EXPECT_EQ(Captured().size(), written) << "a refused image reached the device";
    }
    // --info tells why the signer is not trusted, and which policy asks for a signature.
    ASSERT_TRUE(CopyFileA((fixtures + "expired.p7s").c_str(), PathOf("fw.hdr.p7s").c_str(), FALSE));
    {
        const ScopedMachinePolicy policy(L"RequireSignedImages", 1);
        const auto info = Start(L"--info fw.hdr");
        EXPECT_EQ(info->Wait(), 77);
        for (const char* line :
             {"\npolicy   RequireSignedImages (signature required)\n",
              "\nsignature: not trusted (expired 2021-03-01), signed by CN=Expired, O=Ostrel tests\n"})
            EXPECT_NE(info->Out().find(line), std::string::npos) << info->Out();
    }
    // A checksum file beside the image that gives another hash refuses it too, and names itself.
    PutImage("fw.hdr.sha256", std::string(64, 'a') + "  fw.hdr\n");
    const auto damaged = Start(L"fw.hdr");
    EXPECT_EQ(damaged->Wait(), 65);
    EXPECT_NE(damaged->Err().find("fw.hdr.sha256"), std::string::npos) << damaged->Err();
}

TEST_F(FlashTest, AnUnplugPartWayFailsTheTransferAndSaysTheImageIsIncomplete) {
    ASSERT_TRUE(StartDevice({"--unplug-after", "8192"}));
    const std::string image = Image(kHeaderArea + 32 * kChunk);
    PutImage("image.hdr", image);

    const auto run = Start(L"--log=flash.log image.hdr");
    EXPECT_EQ(run->Wait(), 74) << run->Err();
    EXPECT_NE(run->Out().find("FAILED: "), std::string::npos) << run->Out();
    EXPECT_NE(run->Err().find("incomplete image"), std::string::npos) << run->Err();
    const std::vector<Json> log = LogLines("flash.log");
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].at("result"), "failed");
    EXPECT_LT(std::stoul(log[0].at("bytes")), e2e::DeviceStream(image).size());
    EXPECT_EQ(Captured(), e2e::DeviceStream(image).substr(0, Captured().size()));
}

TEST_F(FlashTest, WaitGivesUpAfterItsLimitOrFlashesADeviceAttachedMeanwhile) {
    const std::string image = Image(kHeaderArea + 4 * kChunk);
    PutImage("image.hdr", image);
    {
        const auto run = Start(L"--wait=2 image.hdr");
        EXPECT_EQ(run->Wait(), 69) << run->Err();
        EXPECT_GE(run->ElapsedMs(), 1900u);
        EXPECT_LT(run->ElapsedMs(), 5000u);
        EXPECT_NE(run->Err().find("in time"), std::string::npos) << run->Err();
    }
    const auto run = Start(L"--wait=2 image.hdr");
    ASSERT_TRUE(run->WaitForOutput("waiting"));
    Sleep(1000);
    ASSERT_TRUE(StartDevice());
    EXPECT_EQ(run->Wait(), 0) << run->Err();
    ASSERT_NE(Device().WaitForLine("download"), "");
    EXPECT_EQ(Captured(), e2e::DeviceStream(image));
}

TEST_F(FlashTest, RepeatFlashesEachDeviceAttachedInTurnAndLogsEveryOne) {
    ASSERT_TRUE(StartDevice({"--replug", "400"}));
    const std::string image = Image(kHeaderArea + 10 * kChunk + 5);
    PutImage("image.hdr", image);

    const auto run = Start(L"-r -n 3 --log=flash.log image.hdr");
    EXPECT_EQ(run->Wait(), 0) << run->Err();
    ASSERT_NE(Device().WaitForLine("download", 3), "");
    const std::string stream = e2e::DeviceStream(image);
    EXPECT_EQ(Captured(), stream + stream + stream);
    for (const char* line : {"device 1: ok: ", "device 2: ok: ", "device 3: ok: ", "summary: 3 ok, 0 failed"})
        EXPECT_NE(run->Out().find(line), std::string::npos) << line << "\n" << run->Out();
    const std::vector<Json> log = LogLines("flash.log");
    ASSERT_EQ(log.size(), 3u);
    for (std::size_t i = 0; i < log.size(); ++i) {
        EXPECT_EQ(log[i].at("result"), "ok");
        EXPECT_EQ(log[i].at("device"), std::to_string(i + 1));
        EXPECT_EQ(log[i].at("sha256"), ReferenceSha256(image));
    }
}

} // namespace

TEST_F(FlashTest, ASecondCopyIsRefusedWhileTheFirstWrites) {
    ASSERT_TRUE(StartDevice({"--throttle", "100000"}));
    const std::string image = Image(kHeaderArea + 64 * kChunk);
    PutImage("image.hdr", image);
    const auto first = Start(L"--json image.hdr");
    ASSERT_TRUE(first->WaitForOutput("\"progress\"")) << first->Err();

    const auto second = Start(L"--log=second.log image.hdr");
    EXPECT_EQ(second->Wait(), 75) << second->Err();
    EXPECT_NE(second->Err().find("another copy of the tool is writing to a device"), std::string::npos)
        << second->Err();
    EXPECT_EQ(LogLines("second.log").at(0).at("result"), "refused");

    EXPECT_EQ(first->Wait(), 0) << first->Err();
    ASSERT_NE(Device().WaitForLine("download"), "");
    EXPECT_EQ(Captured(), e2e::DeviceStream(image)) << "nothing of the second copy between the first's chunks";
}

TEST_F(FlashTest, ItsVersionRecordNamesItAndItsVersion) {
    const auto run = Start(L"--version");
    ASSERT_EQ(run->Wait(), 0);
    const std::wstring program = AnsiToWide(PathOf("ostrel-flash.exe"));
    std::vector<char> record(GetFileVersionInfoSizeW(program.c_str(), nullptr));
    ASSERT_FALSE(record.empty());
    ASSERT_TRUE(GetFileVersionInfoW(program.c_str(), 0, static_cast<DWORD>(record.size()), record.data()));
    const auto value = [&](const wchar_t* name) {
        wchar_t* text = nullptr;
        UINT length = 0;
        const std::wstring path = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
        return VerQueryValueW(record.data(), path.c_str(), reinterpret_cast<void**>(&text), &length) && length
                   ? Utf8(std::wstring(text, length - 1))
                   : std::string();
    };
    EXPECT_EQ(value(L"OriginalFilename"), "ostrel-flash.exe");
    EXPECT_EQ(value(L"CompanyName"), "Corvane");
    EXPECT_EQ(run->Out(), "ostrel-flash " + value(L"FileVersion") + "\n");
}

// A bench session fed through a pipe, as a barcode scanner types: each scanned board is flashed once, a board that
// restarts after its download waits for the next scan, and a board scanned again is refused while the session goes
// on to its summary.
TEST_F(FlashTest, AScanSessionFlashesEachScannedBoardOnceAndRefusesARepeat) {
    ASSERT_TRUE(StartDevice({"--replug", "300"}));
    const std::string image = Image(kHeaderArea + 6 * kChunk);
    PutImage("image.hdr", image);
    const std::string stream = e2e::DeviceStream(image);
    FlashRun run(AnsiToWide(PathOf("")),
                 L"--repeat --scan --log=bench.jsonl --station=\"Bench 7\" --operator=ana image.hdr", true);
    ASSERT_TRUE(run.WaitForOutput("scan or type the serial of the next board")) << run.Err();
    ASSERT_TRUE(run.Type("SN-1\r\n"));
    ASSERT_TRUE(run.WaitForOutput("device 1: ok")) << run.Err();
    ASSERT_NE(Device().WaitForLine("replugged"), "");
    Sleep(1000);
    EXPECT_EQ(Captured(), stream) << "the restarted board was flashed again without a scan";
    ASSERT_TRUE(run.Type("SN-2\n"));
    ASSERT_TRUE(run.WaitForOutput("device 2: ok")) << run.Err();
    ASSERT_TRUE(run.Type("SN-1\n\n"));
    EXPECT_EQ(run.Wait(), 0) << run.Err();
    EXPECT_NE(run.Out().find("summary: 2 ok, 0 failed, 1 refused"), std::string::npos) << run.Out();
    EXPECT_NE(run.Err().find("board SN-1 was flashed with this image at "), std::string::npos) << run.Err();
    EXPECT_EQ(Captured(), stream + stream);

    const std::vector<Json> log = LogLines("bench.jsonl");
    ASSERT_EQ(log.size(), 3u);
    const char* expected[][2] = {{"SN-1", "ok"}, {"SN-2", "ok"}, {"SN-1", "refused"}};
    for (std::size_t i = 0; i < log.size(); ++i) {
        EXPECT_EQ(log[i].at("serial"), expected[i][0]);
        EXPECT_EQ(log[i].at("result"), expected[i][1]);
        EXPECT_EQ(log[i].at("station"), "Bench 7");
        EXPECT_EQ(log[i].at("operator"), "ana");
        EXPECT_EQ(log[i].at("front"), "flasher");
        EXPECT_FALSE(log[i].at("version").empty());
        EXPECT_EQ(log[i].at("id").size(), 36u);
        EXPECT_NE(log[i].at("id"), log[(i + 1) % log.size()].at("id"));
    }

    // The bench again, its scanner ending lines with CR alone. The board refused as SN-1 stays in the socket: the
    // label scanned next waits until it is unplugged. A label scanned during a transfer is dropped with a note; a
    // scan that is no serial leaves the board in the socket waiting for a good one.
    ASSERT_NE(Device().WaitForLine("replugged", 2), "");
    FlashRun cr(AnsiToWide(PathOf("")), L"--repeat --scan --log=bench.jsonl image.hdr", true);
    ASSERT_TRUE(cr.WaitForOutput("scan or type")) << cr.Err();
    ASSERT_TRUE(cr.Type("SN-1\rSN-4\r"));
    ASSERT_TRUE(cr.WaitForOutput("unplug the device")) << cr.Err();
    Sleep(1000);
    EXPECT_EQ(Captured(), stream + stream) << "the refused board was flashed as SN-4";
    ASSERT_TRUE(StopDevice());
    ASSERT_TRUE(cr.WaitForOutput("waiting for a device")) << cr.Err();
    ASSERT_TRUE(StartDevice({"--throttle", "10000"}));
    ASSERT_TRUE(e2e::WaitUntil([&] { return !Captured().empty(); }));
    ASSERT_TRUE(cr.Type("SN-9\r"));
    ASSERT_TRUE(cr.WaitForOutput("device 1: ok")) << cr.Err();
    EXPECT_NE(cr.Err().find("scanned during the download was dropped"), std::string::npos) << cr.Err();
    ASSERT_TRUE(StopDevice());
    // Its third question: the flashed board is out.
    ASSERT_TRUE(e2e::WaitUntil([&] {
        cr.WaitForOutput("", 0);
        std::size_t asked = 0;
        for (std::size_t at = 0; (at = cr.Out().find("scan or type", at)) != std::string::npos; ++at)
            ++asked;
        return asked == 3;
    }));
    ASSERT_TRUE(StartDevice());
    ASSERT_TRUE(cr.Type("SN\x01\rSN-6\r"));
    ASSERT_TRUE(cr.WaitForOutput("device 2: ok")) << cr.Err();
    EXPECT_EQ(Captured(), stream);
    ASSERT_TRUE(cr.Type("\r"));
    ASSERT_TRUE(StopDevice());
    EXPECT_EQ(cr.Wait(), 0) << cr.Err();
    std::vector<std::string> ends;
    for (const Json& line : LogLines("bench.jsonl"))
        ends.push_back(line.at("serial") + " " + line.at("result"));
    EXPECT_EQ(ends, (std::vector<std::string>{"SN-1 ok", "SN-2 ok", "SN-1 refused", "SN-1 refused", "SN-4 ok",
                                              "null refused", "SN-6 ok"}));
}

// A log whose last line a power cut tore, then a run killed during its transfer: the next line starts on a line of
// its own, the killed run leaves its start, which --history counts as interrupted, and the board is flashed again.
TEST_F(FlashTest, TheLogKeepsAKilledRunAndATornLine) {
    ASSERT_TRUE(StartDevice({"--stall-after", "8192"}));
    const std::string image = Image(kHeaderArea + 32 * kChunk);
    PutImage("image.hdr", image);
    const std::string torn = "{\"id\":\"torn\",\"time\":\"2026-12-07T1";
    PutImage("flash.log", torn);
    // The lines after the torn one.
    const auto added = [&] { return JsonLines(FileContents(PathOf("flash.log")).substr(torn.size() + 1)); };
    FlashRun killed(AnsiToWide(PathOf("")), L"--log=flash.log --serial=SN-5 image.hdr");
    ASSERT_NE(Device().WaitForLine("stalled"), "") << killed.Err();
    killed.Kill();
    ASSERT_EQ(killed.Wait(), 1);
    ASSERT_EQ(added().size(), 1u) << "the torn line swallowed the start";
    EXPECT_EQ(added()[0].at("result"), "started");
    EXPECT_EQ(added()[0].at("serial"), "SN-5");

    ASSERT_TRUE(StopDevice());
    ASSERT_TRUE(StartDevice());
    const auto again = Start(L"--log=flash.log --serial=SN-5 image.hdr");
    EXPECT_EQ(again->Wait(), 0) << "an interrupted run never counts as flashed: " << again->Err();
    const std::vector<Json> lines = added();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1].at("result"), "started");
    EXPECT_EQ(lines[2].at("result"), "ok");
    EXPECT_EQ(lines[1].at("id"), lines[2].at("id")) << "a run's start and its end share an id";
    const auto board = Start(L"--history --log=flash.log --serial=SN-5");
    EXPECT_EQ(board->Wait(), 0) << board->Err();
    EXPECT_NE(board->Out().find("board SN-5: 2 attempts\n"), std::string::npos) << board->Out();
    EXPECT_NE(board->Out().find("  interrupted  "), std::string::npos) << board->Out();
    const auto summary = Start(L"--history --log=flash.log");
    EXPECT_EQ(summary->Wait(), 0) << summary->Err();
    EXPECT_NE(summary->Out().find(": 2 attempts, 1 ok, 1 failed, 0 refused\n"), std::string::npos) << summary->Out();
}

// The machine policy's folder takes the log of a flasher given none, one file per station; a folder that cannot be
// written is warned of and never fails the download. --history reads that log by default.
TEST_F(FlashTest, ThePolicyFolderTakesTheStationsLogAndNeverFailsADownload) {
    ASSERT_TRUE(StartDevice({"--replug", "300"}));
    PutImage("image.hdr", Image(kHeaderArea + 4 * kChunk));
    HKEY policy = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, MachinePolicy::kKey, 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY,
                              nullptr, &policy, nullptr),
              ERROR_SUCCESS);
    const auto setFolder = [&](const std::wstring& folder) {
        RegSetValueExW(policy, MachinePolicy::kLogFolder, 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                       static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
    };
    setFolder(AnsiToWide(PathOf("no such folder")));
    const auto unwritable = Start(L"--wait=10 image.hdr");
    EXPECT_EQ(unwritable->Wait(), 0) << unwritable->Err();
    EXPECT_NE(unwritable->Err().find("LogFolder"), std::string::npos) << unwritable->Err();

    setFolder(AnsiToWide(PathOf("")));
    const auto run = Start(L"--wait=10 --serial=SN-9 image.hdr");
    EXPECT_EQ(run->Wait(), 0) << run->Err();
    const auto again = Start(L"--wait=10 --serial=SN-9 image.hdr");
    EXPECT_EQ(again->Wait(), 65) << "the board is flashed with this image already";
    const auto history = Start(L"--history --serial=SN-9");
    EXPECT_EQ(history->Wait(), 0) << history->Err();
    // The folder that did not answer at first does now: the lines kept in the spool meanwhile reach it, in order.
    ASSERT_TRUE(CreateDirectoryA(PathOf("no such folder").c_str(), nullptr));
    setFolder(AnsiToWide(PathOf("no such folder")));
    const auto late = Start(L"--history");
    EXPECT_EQ(late->Wait(), 0) << late->Err();
    RegDeleteValueW(policy, MachinePolicy::kLogFolder);
    RegCloseKey(policy);

    // The DNS host name, which is not cut to 15 characters.
    char computer[256];
    DWORD length = sizeof computer;
    ASSERT_TRUE(GetComputerNameExA(ComputerNameDnsHostname, computer, &length));
    EXPECT_NE(unwritable->Err().find("its lines are kept in "), std::string::npos) << unwritable->Err();
    const std::vector<Json> spooled = JsonLines(FileContents(PathOf("no such folder\\") + computer + ".jsonl"));
    ASSERT_EQ(spooled.size(), 2u);
    EXPECT_EQ(spooled[0].at("result"), "started");
    EXPECT_EQ(spooled[1].at("result"), "ok");
    EXPECT_NE(late->Out().find(": 1 attempts, 1 ok, 0 failed"), std::string::npos) << late->Out();
    const std::vector<Json> log = LogLines((std::string(computer) + ".jsonl").c_str());
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].at("serial"), "SN-9");
    EXPECT_EQ(log[0].at("result"), "ok");
    EXPECT_EQ(log[1].at("result"), "refused");
    EXPECT_NE(history->Out().find("board SN-9: 2 attempts"), std::string::npos) << history->Out();
}

TEST_F(FlashTest, ItsManifestAsksForNoElevationAndNamesTheWindowsItIsMadeFor) {
    const ModuleHandle program(LoadLibraryExA(PathOf("ostrel-flash.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    const HRSRC found = FindResourceA(program.Get(), MAKEINTRESOURCEA(1), RT_MANIFEST);
    ASSERT_NE(found, nullptr);
    const std::string manifest(static_cast<const char*>(LockResource(LoadResource(program.Get(), found))),
                               SizeofResource(program.Get(), found));
    // Windows 7, 8, 8.1, and 10 and 11.
    for (const char* part : {"level=\"asInvoker\" uiAccess=\"false\"", "\"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}\"",
                             "\"{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}\"", "\"{1f676c76-80e1-4239-95bb-83d0f6d0da78}\"",
                             "\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"", "WindowsSettings\">true</longPathAware>"})
        EXPECT_NE(manifest.find(part), std::string::npos) << part;
}

TEST_F(FlashTest, TheSessionEndIsRefusedDuringATransferAndStopsItLoggedWhenItComesAllTheSame) {
    PutImage("image.hdr", Image(kHeaderArea + 200 * kChunk));
    const auto run = Start(L"--wait --log=flash.log image.hdr");
    ASSERT_TRUE(run->WaitForOutput("waiting")) << run->Err();
    // Its hidden window, which Windows asks as it asks every top-level window.
    HWND window = nullptr;
    ASSERT_TRUE(e2e::WaitUntil([&] { return (window = FindWindowA("OstrelFlashSession", nullptr)) != nullptr; }));
    const auto ask = [window](UINT message, WPARAM ending) {
        DWORD_PTR answer = 0;
        SendMessageTimeoutA(window, message, ending, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000, &answer);
        return answer;
    };
    EXPECT_EQ(ask(WM_QUERYENDSESSION, 0), TRUE) << "while no transfer runs";
    // About four seconds at this rate.
    ASSERT_TRUE(StartDevice({"--throttle", "100000"}));
    ASSERT_TRUE(run->WaitForOutput("%")) << run->Err();
    EXPECT_EQ(ask(WM_QUERYENDSESSION, 0), FALSE) << "during the transfer";
    ask(WM_ENDSESSION, TRUE);
    EXPECT_EQ(run->Wait(5000), 130) << run->Err();
    const std::vector<Json> log = LogLines("flash.log");
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].at("result"), "interrupted");
}
