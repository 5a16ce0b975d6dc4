#pragma once
// The program's own named resources: data compiled into the executable, opened
// by name and type (matched without regard to case) as read-only byte streams.
#include <cstddef>
#include <string>
#include <string_view>

namespace zelmora {

struct EmbeddedResource {
    const char* name;
    const char* type;
    const unsigned char* data;
    std::size_t size;
};

extern const EmbeddedResource kEmbeddedResources[];
extern const std::size_t kEmbeddedResourceCount;

// A read-only byte stream over a resource, positioned at its start.
class ResourceStream {
public:
    ResourceStream(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}
    std::size_t size() const { return size_; }
    std::size_t position() const { return pos_; }
    void seek(std::size_t pos) { pos_ = pos < size_ ? pos : size_; }
    // Copies up to n bytes from the current position; returns how many.
    std::size_t read(char* out, std::size_t n);
    // Everything from the current position to the end, moving to the end.
    std::string readAll();
    // The whole resource, without copying.
    std::string_view bytes() const { return {reinterpret_cast<const char*>(data_), size_}; }

private:
    const unsigned char* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// Fails with "Resource %s not found", the placeholder taking the name as asked for.
ResourceStream OpenResource(std::string_view name, std::string_view type);

// The built-in table: resource "wb86gb" of type "txt".
ResourceStream OpenBuiltinTable();

}  // namespace zelmora
