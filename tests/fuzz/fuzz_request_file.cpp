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

bool has_high_byte(std::string_view bytes)
{
    for (char byte : bytes)
        if (static_cast<unsigned char>(byte) >= 0x80) return true;
    return false;
}

}  // namespace

int fuzz_request_file(const std::uint8_t* data, std::size_t size)
{
    static const ScratchFile scratch;
    FuzzInput input(data, size);
    const std::string bytes(input.rest());
    const Values as_given = read_values(scratch.write(bytes));

    // The same text in every encoding gives the same values. The input read
    // as UTF-8 (malformed sequences become U+FFFD) is text all three hold;
    // the ANSI code page only when it has every character.
    const std::u16string text = utf8_to_utf16(bytes);
    const Values from_utf8 = read_values(scratch.write("\xEF\xBB\xBF" + utf16_to_utf8(text)));
    const Values from_utf16 = read_values(scratch.write("\xFF\xFE" + utf16le_bytes(text)));
    fuzz_expect(from_utf8 == from_utf16, "UTF-8 and UTF-16LE files give the same values");
    // Notepad writes UTF-8 without a mark.
    if (is_well_formed_utf8(bytes) && !bytes.starts_with("\xEF\xBB\xBF"))
        fuzz_expect(as_given == from_utf8, "UTF-8 without a mark reads as with one");

    const AnsiCodePage& ansi = AnsiCodePage::system();
    const std::string ansi_bytes = ansi.encode(text);
    // ANSI bytes that begin like a byte-order mark are read as one, and
    // single-byte text that happens to form multi-byte UTF-8 is read as UTF-8.
    const bool looks_like_utf8 = !ansi.is_utf8() && has_high_byte(ansi_bytes) && is_well_formed_utf8(ansi_bytes);
    if (ansi.decode(ansi_bytes) == text && !looks_like_utf8 && !ansi_bytes.starts_with("\xEF\xBB\xBF") &&
        !ansi_bytes.starts_with("\xFF\xFE")) {
        const Values from_ansi = read_values(scratch.write(ansi_bytes));
        fuzz_expect(from_ansi == from_utf8, "ANSI and UTF-8 files give the same values");
    }
    return 0;
}
