// Reads a Windows program or DLL (PE32 or PE32+) as a file:
//   pe_imports imports PROGRAM   one line per imported function:
//                                "import DLL NAME" from the import table,
//                                "delay DLL NAME" from a delay-load descriptor
//                                (DLL in lower case; NAME is "#N" for ordinal N)
//   pe_imports exports DLL       one line per exported name, and "#N" for
//                                every exported ordinal
// mingw's linker leaves the delay-import directory entry empty, so when it is
// empty the descriptors are found by their shape: attributes 1 (addresses
// are RVAs), a name that ends in ".dll", and tables inside the image.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct Section {
    uint32_t address, virtual_size, raw_offset, raw_size;
};

class Image {
public:
    explicit Image(const char* path) {
        std::ifstream in(path, std::ios::binary);
        if (!in) throw std::runtime_error(std::string("cannot read ") + path);
        bytes_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        const uint32_t pe = u32(0x3c);
        if (u32(pe) != 0x4550) throw std::runtime_error("not a PE file");
        const uint32_t sections = u16(pe + 6);
        const uint32_t optional = pe + 24;
        const uint32_t magic = u16(optional);
        if (magic != 0x10b && magic != 0x20b) throw std::runtime_error("unknown optional header");
        wide_ = magic == 0x20b;
        directories_ = optional + (wide_ ? 112u : 96u);
        const uint32_t table = optional + u16(pe + 20);
        for (uint32_t i = 0; i < sections; ++i) {
            const uint32_t s = table + i * 40;
            sections_.push_back({u32(s + 12), u32(s + 8), u32(s + 20), u32(s + 16)});
        }
    }

    uint32_t directory(uint32_t index) const { return u32(directories_ + index * 8); }

    // File offset of an RVA, or 0 when no section's file data holds it.
    uint32_t offset(uint32_t rva) const {
        for (const Section& s : sections_) {
            if (rva >= s.address && rva - s.address < s.raw_size)
                return s.raw_offset + (rva - s.address);
        }
        return 0;
    }

    uint32_t at(uint32_t rva) const {
        const uint32_t o = offset(rva);
        if (o == 0) throw std::runtime_error("address outside the file: " + std::to_string(rva));
        return o;
    }

    uint16_t u16(uint32_t o) const { return static_cast<uint16_t>(byte(o) | byte(o + 1) << 8); }
    uint32_t u32(uint32_t o) const { return u16(o) | static_cast<uint32_t>(u16(o + 2)) << 16; }
    uint64_t u64(uint32_t o) const { return u32(o) | static_cast<uint64_t>(u32(o + 4)) << 32; }

    std::string text(uint32_t rva) const {
        std::string s;
        for (uint32_t o = at(rva); byte(o) != 0; ++o) s += static_cast<char>(byte(o));
        return s;
    }

    // The functions of one thunk table: names, or "#N" for ordinals.
    std::vector<std::string> thunks(uint32_t rva) const {
        std::vector<std::string> names;
        const uint32_t width = wide_ ? 8 : 4;
        for (uint32_t o = at(rva);; o += width) {
            const uint64_t entry = wide_ ? u64(o) : u32(o);
            if (entry == 0) break;
            const uint64_t ordinal_flag = wide_ ? 1ull << 63 : 1ull << 31;
            if (entry & ordinal_flag)
                names.push_back("#" + std::to_string(entry & 0xffff));
            else
                names.push_back(text(static_cast<uint32_t>(entry) + 2));
        }
        return names;
    }

    const std::vector<Section>& sections() const { return sections_; }

private:
    uint32_t byte(uint32_t o) const {
        if (o >= bytes_.size()) throw std::runtime_error("truncated file");
        return static_cast<unsigned char>(bytes_[o]);
    }

    std::vector<char> bytes_;
    std::vector<Section> sections_;
    uint32_t directories_ = 0;
    bool wide_ = false;
};

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

void print(const char* kind, const std::string& dll, const std::vector<std::string>& names) {
    for (const std::string& name : names) std::printf("%s %s %s\n", kind, lower(dll).c_str(), name.c_str());
}

// A delay-load descriptor's shape, when the directory does not point to one.
bool looks_like_delay_descriptor(const Image& image, uint32_t o) {
    if (image.u32(o) != 1 || image.u32(o + 28) != 0) return false;
    for (uint32_t field : {4u, 8u, 12u, 16u}) {
        if (image.offset(image.u32(o + field)) == 0) return false;
    }
    try {
        const std::string name = lower(image.text(image.u32(o + 4)));
        return name.size() > 4 && name.size() < 64 && name.ends_with(".dll") &&
               std::all_of(name.begin(), name.end(), [](char c) { return std::isprint(static_cast<unsigned char>(c)); });
    } catch (const std::runtime_error&) {
        return false;
    }
}

void imports(const Image& image) {
    if (const uint32_t rva = image.directory(1)) {
        for (uint32_t o = image.at(rva); image.u32(o + 12) != 0; o += 20) {
            const uint32_t lookup = image.u32(o) != 0 ? image.u32(o) : image.u32(o + 16);
            print("import", image.text(image.u32(o + 12)), image.thunks(lookup));
        }
    }
    std::vector<uint32_t> descriptors;
    if (const uint32_t rva = image.directory(13)) {
        for (uint32_t o = image.at(rva); image.u32(o + 4) != 0; o += 32) descriptors.push_back(o);
    } else {
        for (const Section& s : image.sections()) {
            for (uint32_t o = s.raw_offset; o + 32 <= s.raw_offset + s.raw_size; o += 4) {
                if (looks_like_delay_descriptor(image, o)) descriptors.push_back(o);
            }
        }
    }
    for (uint32_t o : descriptors) print("delay", image.text(image.u32(o + 4)), image.thunks(image.u32(o + 16)));
}

void exports(const Image& image) {
    const uint32_t rva = image.directory(0);
    if (rva == 0) return;
    const uint32_t o = image.at(rva);
    const uint32_t base = image.u32(o + 16), functions = image.u32(o + 20), names = image.u32(o + 24);
    for (uint32_t i = 0; i < names; ++i) std::printf("%s\n", image.text(image.u32(image.at(image.u32(o + 32)) + i * 4)).c_str());
    for (uint32_t i = 0; i < functions; ++i) {
        if (image.u32(image.at(image.u32(o + 28)) + i * 4) != 0) std::printf("#%u\n", base + i);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::string what = argc == 3 ? argv[1] : "";
    if (what != "imports" && what != "exports") {
        std::fprintf(stderr, "usage: pe_imports imports|exports FILE\n");
        return 2;
    }
    try {
        const Image image(argv[2]);
        what == "imports" ? imports(image) : exports(image);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pe_imports: %s: %s\n", argv[2], e.what());
        return 1;
    }
    return 0;
}
