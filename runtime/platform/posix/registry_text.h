// The text of a registry store in the layout of a .reg export, edited in
// place: only the values set change; every other line (comments, values
// before the first key, @= defaults, continued hex values, unknown lines,
// the line ends) stays byte for byte. Works on caller buffers without
// allocating, so that the fatal-signal report can use it too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "runtime/platform/registry_store.h"

namespace platform {

struct Bytes {
  const char* data;
  size_t size;
};

// One value to set: its name as the store writes it (without quotes or
// escapes) and its written form, the text after "=" ("\"text\"" or
// "dword:0000007b").
struct StoreValue {
  Bytes name;
  Bytes written;
};

// The first section of the key (matched without regard to ASCII case, as
// the registry matches) is where values are read and written; a second copy
// of it is left alone.

// Whether a store's bytes are text in a single-byte-based encoding that
// this store can edit (UTF-8, or lines of it spoilt here and there). A store
// saved in UTF-16 or UTF-32 by an editor is not, and must be left as it is:
// a UTF-8 section added to it would be unreadable to either.
bool IsStoreText(Bytes store);

// Writes to out the store text with the values set under the key (for
// example "HKEY_CURRENT_USER\\Software\\..."): a value that is there is
// replaced where it stands (all its lines), a new one goes after the
// section's last value, a missing section is added at the end. New lines
// take the store's own line end. Returns the length written, or 0 when out
// cannot hold it.
size_t EditStoreText(Bytes store, Bytes key, const StoreValue* values, size_t count, char* out, size_t capacity);

// The written form of a value (its first line, without the line end), or
// false when the key or the value is not there.
bool FindStoreValue(Bytes store, Bytes key, Bytes name, Bytes& written);

// The key as it is written in a store, with its root.
std::string RegistryKeyPath(RegistryRoot root, const std::string& key);

// The written forms of values, as they stand after "=" in the store.
std::string RegistryStringText(const std::string& cp932Value);
std::string RegistryDwordText(uint32_t value);

}  // namespace platform
