#include "tests/support/CregOracle.h"

#include "tests/support/CregBuilder.h"

#include <libcreg.h>

#include <cstdio>
#include <memory>

namespace corvane_test {

namespace {

// Says on stderr why libcreg gave up, so that a failing test shows it.
struct ErrorSink {
    libcreg_error_t* error = nullptr;
    ~ErrorSink() {
        if (error != nullptr) {
            libcreg_error_backtrace_fprint(error, stderr);
        }
        libcreg_error_free(&error);
    }
    libcreg_error_t** operator&() { return &error; }
};

struct KeyFree {
    void operator()(libcreg_key_t* key) const { libcreg_key_free(&key, nullptr); }
};
struct ValueFree {
    void operator()(libcreg_value_t* value) const { libcreg_value_free(&value, nullptr); }
};
using KeyPtr = std::unique_ptr<libcreg_key_t, KeyFree>;
using ValuePtr = std::unique_ptr<libcreg_value_t, ValueFree>;

template <typename Object, typename SizeOf, typename Get>
std::optional<std::string> bytesOf(Object* object, SizeOf sizeOf, Get get) {
    ErrorSink error;
    size_t size = 0;
    if (sizeOf(object, &size, &error) != 1) {
        return std::nullopt;
    }
    std::string bytes(size, '\0');
    if (size > 0 && get(object, reinterpret_cast<uint8_t*>(bytes.data()), size, &error) != 1) {
        return std::nullopt;
    }
    return bytes;
}

bool listValues(libcreg_key_t* key, const std::string& path, std::vector<std::string>& lines) {
    ErrorSink error;
    int count = 0;
    if (libcreg_key_get_number_of_values(key, &count, &error) != 1) {
        return false;
    }
    for (int i = 0; i < count; ++i) {
        libcreg_value_t* raw = nullptr;
        if (libcreg_key_get_value_by_index(key, i, &raw, &error) != 1) {
            return false;
        }
        ValuePtr value(raw);
        uint32_t type = 0;
        auto name = bytesOf(value.get(), libcreg_value_get_name_size, libcreg_value_get_name);
        auto data =
            bytesOf(value.get(), libcreg_value_get_value_data_size, libcreg_value_get_value_data);
        if (!name || !data || libcreg_value_get_value_type(value.get(), &type, &error) != 1) {
            return false;
        }
        lines.push_back(cregValueLine(path, type, *name, *data));
    }
    return true;
}

bool listSubkeys(libcreg_key_t* key, const std::string& path, std::vector<std::string>& lines) {
    ErrorSink error;
    int count = 0;
    if (libcreg_key_get_number_of_sub_keys(key, &count, &error) != 1) {
        return false;
    }
    for (int i = 0; i < count; ++i) {
        libcreg_key_t* raw = nullptr;
        if (libcreg_key_get_sub_key_by_index(key, i, &raw, &error) != 1) {
            return false;
        }
        KeyPtr subkey(raw);
        auto name = bytesOf(subkey.get(), libcreg_key_get_name_size, libcreg_key_get_name);
        if (!name) {
            return false;
        }
        // The name size libcreg gives counts a terminating zero.
        while (!name->empty() && name->back() == '\0') {
            name->pop_back();
        }
        std::string subPath = path.empty() ? *name : path + "\\" + *name;
        lines.push_back(cregKeyLine(subPath));
        if (!listValues(subkey.get(), subPath, lines) ||
            !listSubkeys(subkey.get(), subPath, lines)) {
            return false;
        }
    }
    return true;
}

} // namespace

std::optional<std::vector<std::string>> CregOracle::listing(const std::string& hostPath) {
    ErrorSink error;
    libcreg_file_t* file = nullptr;
    if (libcreg_file_initialize(&file, &error) != 1) {
        return std::nullopt;
    }
    std::optional<std::vector<std::string>> result;
    if (libcreg_file_open(file, hostPath.c_str(), LIBCREG_OPEN_READ, &error) == 1) {
        libcreg_key_t* raw = nullptr;
        if (libcreg_file_get_root_key(file, &raw, &error) == 1) {
            KeyPtr root(raw);
            std::vector<std::string> lines;
            if (listSubkeys(root.get(), "", lines)) {
                result = std::move(lines);
            }
        }
        libcreg_file_close(file, nullptr);
    }
    libcreg_file_free(&file, nullptr);
    return result;
}

} // namespace corvane_test
