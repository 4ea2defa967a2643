#include "automation/readers/ods_manifest.h"

#include "automation/readers/read_fault.h"
#include "automation/readers/xml_document.h"

namespace tavrio::automation::readers {
namespace {

constexpr std::string_view kManifestPart = "META-INF/manifest.xml";

// The entry's manifest:full-path, whatever prefix the manifest namespace has.
std::string_view FullPath(pugi::xml_node entry) {
  for (pugi::xml_attribute attribute : entry.attributes()) {
    if (LocalName(attribute.name()) == "full-path") return attribute.value();
  }
  return {};
}

}  // namespace

bool IsPartEncrypted(ZipArchive& archive, std::string_view part) {
  if (!archive.Contains(kManifestPart)) return false;
  try {
    XmlPart manifest(archive.ReadWhole(kManifestPart), kManifestPart);
    for (pugi::xml_node entry = manifest.root().first_child(); entry;
         entry = entry.next_sibling()) {
      if (IsNamed(entry, "file-entry") && FullPath(entry) == part) {
        return FirstChild(entry, "encryption-data") != nullptr;
      }
    }
  } catch (const ReadFault&) {
  }
  return false;
}

}  // namespace tavrio::automation::readers
