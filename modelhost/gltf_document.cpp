// The one translation unit that holds tinygltf's code (configured in
// cmake/gltf_library.cmake). tinygltf includes the JSON library with hidden visibility;
// the standard headers our own types use are included first, so that those types keep
// the visibility they have everywhere else.
#include <algorithm>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "core/error.h"
#include "core/little_endian.h"
#include "core/text.h"
#include "files/files.h"
#include "modelhost/import_rules.h"

#define TINYGLTF_IMPLEMENTATION
#include "modelhost/gltf_internal.h"

namespace cmp {

bool NestsDeeperThan(std::string_view json, std::size_t limit) {
    std::size_t depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (inString) {
            if (c == '\\') {
                ++i;  // the escaped character, a quote perhaps, ends nothing
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > limit) {
                return true;
            }
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return false;
}

namespace {

// tinygltf takes lengths as unsigned int; a model file past that is no model anyway.
constexpr std::uint64_t LargestModelFile = std::numeric_limits<unsigned int>::max();

// The whole of `file`, opened from `path`.
Result<Bytes> ReadWholeRegularFile(InputFile& file, const std::string& path) {
    // A pipe or a device could feed bytes for ever; a model's files are regular files.
    const std::optional<std::uint64_t> size = file.GetRegularSize();
    if (!size.has_value() || *size > LargestModelFile) {
        return Error{ErrorCode::CannotRead,
                     "'" + TerminalText(path) + "' is no regular file of at most 4 GiB"};
    }
    Bytes bytes;
    if (Status read = file.ReadUpTo(*size, bytes); !read) {
        return read.error();
    }
    return bytes;
}

Result<Bytes> ReadWholeRegularFile(const std::string& path) {
    InputFile file;
    if (Status opened = file.Open(path); !opened) {
        return opened.error();
    }
    return ReadWholeRegularFile(file, path);
}

// tinygltf's file access, confined to what Assimp reads: a buffer's uri is taken from
// the model's folder as written in the model's path (never from the working folder as
// tinygltf would try next, never with "~" or variables expanded), and only regular files
// are read.
struct BufferFiles {
    std::string folder;  // the model's path up to its last separator, that included
    std::vector<std::string> read;
    std::string failure;  // the reason of the last read that failed
};

bool AnyFileExists(const std::string&, void*) {
    return true;  // a missing file fails in ReadBufferFile, with the system's reason
}

std::string InModelFolder(const std::string& uri, void* files) {
    return static_cast<BufferFiles*>(files)->folder + uri;
}

bool ReadBufferFile(std::vector<unsigned char>* out, std::string* err, const std::string& path,
                    void* user) {
    BufferFiles& files = *static_cast<BufferFiles*>(user);
    // The system's reason may quote the path, or not: it is named once, here.
    Result<Bytes> bytes = ReadWholeRegularFile(path);
    if (!bytes) {
        files.failure = "cannot read its buffer '" + TerminalText(path) + "': " + bytes.message();
        if (err != nullptr) {
            *err = files.failure;
        }
        return false;
    }
    files.read.push_back(path);
    out->assign(bytes.value().begin(), bytes.value().end());
    return true;
}

bool WriteNothing(std::string*, const std::string&, const std::vector<unsigned char>&, void*) {
    return false;
}

// Images are never needed: the host takes geometry and material names only.
bool LoadNoImage(tinygltf::Image*, const int, std::string*, std::string*, int, int,
                 const unsigned char*, int, void*) {
    return true;
}

std::string ModelFolder(const std::string& path) {
    const std::size_t separator = path.find_last_of("/\\");
    return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

// tinygltf's messages end in line breaks and may quote the file's own text.
std::string LoaderMessage(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return TerminalText(text.empty() ? std::string("tinygltf gave no reason") : text);
}

// The JSON of a binary file: the first chunk, as far as the file holds it.
std::string_view GlbJson(const Bytes& bytes) {
    if (bytes.size() < 20) {
        return {};
    }
    const std::size_t length = std::min<std::size_t>(LoadU32(bytes.data() + 12), bytes.size() - 20);
    return {reinterpret_cast<const char*>(bytes.data() + 20), length};
}

}  // namespace

Result<GltfDocument> ReadGltfDocument(const std::string& path) {
    InputFile input;
    if (!input.Open(path)) {
        // In the Linux import's words, so that modelhost says the same on every platform.
        return Error{ErrorCode::ImportFailed,
                     "Unable to open file \"" + TerminalText(path) + "\"."};
    }
    Result<Bytes> file = ReadWholeRegularFile(input, path);
    if (!file) {
        return Error{ErrorCode::ImportFailed, file.message()};
    }
    const Bytes& bytes = file.value();
    const bool binary = IsBinaryGltfPath(path);
    const std::string_view json =
        binary ? GlbJson(bytes)
               : std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (NestsDeeperThan(json, MaxJsonNesting)) {
        return Error{ErrorCode::ImportFailed,
                     "its JSON nests deeper than " + std::to_string(MaxJsonNesting) + " levels"};
    }

    BufferFiles files{ModelFolder(path), {}, {}};
    tinygltf::TinyGLTF loader;
    loader.SetFsCallbacks({&AnyFileExists, &InModelFolder, &ReadBufferFile, &WriteNothing, &files});
    loader.SetImageLoader(&LoadNoImage, nullptr);
    GltfDocument document;
    std::string err;
    std::string warn;
    // The folder goes in through InModelFolder, exactly as written: tinygltf would join
    // it with a "/" of its own.
    const bool loaded =
        binary ? loader.LoadBinaryFromMemory(&document.model, &err, &warn, bytes.data(),
                                             static_cast<unsigned int>(bytes.size()), "")
               : loader.LoadASCIIFromString(&document.model, &err, &warn,
                                            reinterpret_cast<const char*>(bytes.data()),
                                            static_cast<unsigned int>(bytes.size()), "");
    if (!loaded) {
        return Error{ErrorCode::ImportFailed,
                     files.failure.empty() ? LoaderMessage(err) : files.failure};
    }
    const std::string& version = document.model.asset.version;
    if (version.empty() || version[0] != '2') {
        return Error{ErrorCode::ImportFailed,
                     "it is glTF version '" + TerminalText(version) + "', not 2.0"};
    }
    // tinygltf reads the external buffers in their order, one file each.
    std::size_t nextRead = 0;
    for (const tinygltf::Buffer& buffer : document.model.buffers) {
        const bool external = !buffer.uri.empty() && !tinygltf::IsDataURI(buffer.uri);
        document.bufferFiles.push_back(
            external && nextRead < files.read.size() ? files.read[nextRead++] : std::string());
    }
    return document;
}

}  // namespace cmp
