// The image gate's verdict as facts of the record.
#pragma once

#include "ImageFacts.h"
#include "ImageGate.h"

// The verdict as the facts that the front ends show and log: the digest, "match", "mismatch" or "none" and the
// checksum files, "valid", "invalid", "untrusted" or "none", the signer and why it is not trusted, and the policy that
// required a signature.
void AddVerdictFacts(ImageFacts& facts, const ImageVerdict& verdict);
