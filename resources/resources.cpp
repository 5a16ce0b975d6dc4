#include "resources/resources.h"

#include <algorithm>
#include <cstring>

#include "core/failure.h"

namespace zelmora {

namespace {
bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 32);
        if (x != y) return false;
    }
    return true;
}
}  // namespace

std::size_t ResourceStream::read(char* out, std::size_t n) {
    n = std::min(n, size_ - pos_);
    if (n) std::memcpy(out, data_ + pos_, n);
    pos_ += n;
    return n;
}

std::string ResourceStream::readAll() {
    std::string s(reinterpret_cast<const char*>(data_) + pos_, size_ - pos_);
    pos_ = size_;
    return s;
}

ResourceStream OpenResource(std::string_view name, std::string_view type) {
    for (std::size_t i = 0; i < kEmbeddedResourceCount; ++i) {
        const EmbeddedResource& r = kEmbeddedResources[i];
        if (EqualIgnoringAsciiCase(r.name, name) && EqualIgnoringAsciiCase(r.type, type))
            return ResourceStream(r.data, r.size);
    }
    throw Failure("Resource " + std::string(name) + " not found");
}

ResourceStream OpenBuiltinTable() { return OpenResource("wb86gb", "txt"); }

}  // namespace zelmora
