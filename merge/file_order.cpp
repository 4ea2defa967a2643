#include "merge/file_order.h"

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <memory>
#include <utility>

namespace tavrio::merge {
namespace {

std::unique_ptr<icu::Collator> ChineseCollator() {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::Collator> collator(icu::Collator::createInstance(icu::Locale("zh"), status));
  if (U_FAILURE(status)) return nullptr;
  return collator;
}

// A sort key per name, computed once: comparing keys is far cheaper than collating the
// strings again for every comparison of a large folder.
std::string SortKey(const icu::Collator& collator, const std::string& name) {
  const icu::UnicodeString text = icu::UnicodeString::fromUTF8(name);
  std::string key(64, '\0');
  int32_t length = collator.getSortKey(text, reinterpret_cast<uint8_t*>(key.data()),
                                       static_cast<int32_t>(key.size()));
  if (length > static_cast<int32_t>(key.size())) {
    key.resize(static_cast<size_t>(length));
    length = collator.getSortKey(text, reinterpret_cast<uint8_t*>(key.data()), length);
  }
  key.resize(static_cast<size_t>(length));
  return key;
}

}  // namespace

void SortFileNames(std::vector<std::string>& names) {
  const std::unique_ptr<icu::Collator> collator = ChineseCollator();
  if (collator == nullptr) {
    // Without ICU's data the byte order still gives a stable, repeatable list.
    std::sort(names.begin(), names.end());
    return;
  }
  std::vector<std::pair<std::string, std::string>> keyed;
  keyed.reserve(names.size());
  for (std::string& name : names) keyed.emplace_back(SortKey(*collator, name), std::move(name));
  std::sort(keyed.begin(), keyed.end());
  names.clear();
  for (auto& [key, name] : keyed) names.push_back(std::move(name));
}

}  // namespace tavrio::merge
