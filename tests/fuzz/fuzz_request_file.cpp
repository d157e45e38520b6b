// The request file as another program may write it: the bytes as given, and
// the same text in each encoding the reader accepts.
#include "fuzz_input.h"
#include "fuzz_targets.h"

#include "util/ansi_codepage.h"
#include "util/request_file.h"
#include "util/utf.h"

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

// One scratch file for the whole run, in a directory of its own.
class ScratchFile {
public:
    ScratchFile()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "importador-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a scratch directory");
        directory_ = pattern;
        file_ = directory_ / "ConfigImporta.ini";
    }
    ~ScratchFile()
    {
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const std::filesystem::path& write(const std::string& bytes) const
    {
        std::ofstream(file_, std::ios::binary | std::ios::trunc).write(bytes.data(), bytes.size());
        return file_;
    }

private:
    std::filesystem::path directory_;
    std::filesystem::path file_;
};

using Values = std::array<std::u16string, 3>;

Values read_values(const std::filesystem::path& file)
{
    Values values = {read_profile_string(file, u"CONF", u"token_quintara"),
                     read_profile_string(file, u"CONF", u"pathBancoDados"),
                     read_profile_string(file, u"CONF", u"Reg_por_trafego")};
    for (const auto& value : values) {
        fuzz_expect(value.size() <= 2047, "a value keeps at most 2047 characters");
        fuzz_expect(value.find(u'\n') == std::u16string::npos, "a value is one line");
    }
    return values;
}

std::string utf16le_bytes(std::u16string_view text)
{
    std::string bytes;
    for (char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
}

}  // namespace

int fuzz_request_file(const std::uint8_t* data, std::size_t size)
{
    static const ScratchFile scratch;
    FuzzInput input(data, size);
    const std::string bytes(input.rest());
    read_values(scratch.write(bytes));

    // The same text in every encoding gives the same values. The input read
    // as UTF-8 (malformed sequences become U+FFFD) is text all three hold;
    // the ANSI code page only when it has every character.
    const std::u16string text = utf8_to_utf16(bytes);
    const Values from_utf8 = read_values(scratch.write("\xEF\xBB\xBF" + utf16_to_utf8(text)));
    const Values from_utf16 = read_values(scratch.write("\xFF\xFE" + utf16le_bytes(text)));
    fuzz_expect(from_utf8 == from_utf16, "UTF-8 and UTF-16LE files give the same values");

    const AnsiCodePage& ansi = AnsiCodePage::system();
    const std::string ansi_bytes = ansi.encode(text);
    // ANSI bytes that begin like a byte-order mark are read as one.
    if (ansi.decode(ansi_bytes) == text && !ansi_bytes.starts_with("\xEF\xBB\xBF") &&
        !ansi_bytes.starts_with("\xFF\xFE")) {
        const Values from_ansi = read_values(scratch.write(ansi_bytes));
        fuzz_expect(from_ansi == from_utf8, "ANSI and UTF-8 files give the same values");
    }
    return 0;
}
