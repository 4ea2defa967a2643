#pragma once

// The manifest of an OpenDocument package (META-INF/manifest.xml), read only for what it says
// about encryption: a document saved with a password keeps its part names and its mimetype in
// the clear, but the parts' bytes are no XML until decrypted, and reading them as XML would
// blame a damaged file.

#include <string_view>

#include "automation/readers/zip_archive.h"

namespace tavrio::automation::readers {

// Whether the manifest lists `part` with encryption data. False when there is no manifest or it
// cannot be read: the manifest is consulted only to name this one cause.
bool IsPartEncrypted(ZipArchive& archive, std::string_view part);

}  // namespace tavrio::automation::readers
