#if !defined(_WIN32)

// The text format of registry export files (regedit's .reg files).

#  include <cstdio>

#  include "platform/RegistryHive.h"

namespace platform::registry {

namespace {

const char* const kHeader5 = "Windows Registry Editor Version 5.00";
const char* const kHeader4 = "REGEDIT4";
const std::string::size_type kMaxKeyName = 255;
const std::string::size_type kLineWidth = 80;  // regedit wraps hex data at 80 columns

// ---- reading -------------------------------------------------------------

// Byte-order marks: UTF-16LE is narrowed to single bytes (characters beyond
// U+00FF become '?', as an ANSI call would show them); UTF-8's mark is dropped.
bool Decode(const std::string& bytes, std::string& text)
{
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
        if (bytes.size() % 2 != 0)
            return false;
        for (std::string::size_type i = 2; i < bytes.size(); i += 2) {
            const unsigned unit = static_cast<unsigned char>(bytes[i]) |
                                  static_cast<unsigned>(static_cast<unsigned char>(bytes[i + 1])) << 8;
            if (unit == 0)
                return false;
            if (unit >= 0xDC00 && unit <= 0xDFFF)
                continue;  // second half of a pair: one '?'
            text += unit < 0x100 ? static_cast<char>(unit) : '?';
        }
        return true;
    }
    if (bytes.size() >= 2 && bytes[0] == '\xFE' && bytes[1] == '\xFF')
        return false;  // UTF-16BE
    const std::string::size_type start = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    text = bytes.substr(start);
    return text.find('\0') == std::string::npos;
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    while (start <= text.size()) {
        std::string::size_type end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.pop_back();
        const std::string::size_type first = line.find_first_not_of(" \t");
        lines.push_back(first == std::string::npos ? std::string() : line.substr(first));
        start = end + 1;
    }
    return lines;
}

// A quoted text from pos (at the opening quote) with \\ and \" escapes; pos ends
// after the closing quote.
bool ParseQuoted(const std::string& line, std::string::size_type& pos, std::string& out)
{
    if (pos >= line.size() || line[pos] != '"')
        return false;
    for (++pos; pos < line.size(); ++pos) {
        const char c = line[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c == '\\') {
            if (pos + 1 >= line.size() || (line[pos + 1] != '\\' && line[pos + 1] != '"'))
                return false;
            out += line[++pos];
        } else {
            out += c;
        }
    }
    return false;  // no closing quote
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// 1 to maxDigits hex digits, nothing else.
bool ParseHexNumber(const std::string& text, size_t maxDigits, DWORD& number)
{
    if (text.empty() || text.size() > maxDigits)
        return false;
    number = 0;
    for (const char c : text) {
        const int digit = HexDigit(c);
        if (digit < 0)
            return false;
        number = number << 4 | static_cast<DWORD>(digit);
    }
    return true;
}

bool ParseHexBytes(const std::string& text, std::vector<BYTE>& data)
{
    std::string::size_type pos = 0;
    while (pos < text.size()) {
        std::string::size_type comma = text.find(',', pos);
        if (comma == std::string::npos)
            comma = text.size();
        std::string token = text.substr(pos, comma - pos);
        const std::string::size_type first = token.find_first_not_of(" \t");
        const std::string::size_type last = token.find_last_not_of(" \t");
        token = first == std::string::npos ? std::string() : token.substr(first, last - first + 1);
        DWORD byte = 0;
        if (!ParseHexNumber(token, 2, byte))
            return false;
        data.push_back(static_cast<BYTE>(byte));
        pos = comma + 1;
        if (comma + 1 == text.size())
            return false;  // a trailing comma
    }
    return true;
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix)
{
    return text.size() >= prefix.size() && SameName(text.substr(0, prefix.size()), prefix);
}

bool ValidKeyPath(const std::string& path)
{
    if (path.empty())
        return true;
    std::string::size_type start = 0;
    for (;;) {
        std::string::size_type end = path.find('\\', start);
        if (end == std::string::npos)
            end = path.size();
        if (end == start || end - start > kMaxKeyName)
            return false;
        if (end == path.size())
            return true;
        start = end + 1;
    }
}

class Parser {
public:
    Parser(const std::string& rootName, Hive& hive) : m_rootName(rootName), m_hive(hive) {}

    LONG Run(const std::vector<std::string>& lines)
    {
        bool headerSeen = false;
        for (m_index = 0; m_index < lines.size(); ++m_index) {
            const std::string& line = lines[m_index];
            if (line.empty() || line[0] == ';')
                continue;
            if (!headerSeen) {
                if (line != kHeader5 && line != kHeader4)
                    return ERROR_BADDB;
                headerSeen = true;
                continue;
            }
            bool ok = false;
            if (line[0] == '[')
                ok = KeyLine(line);
            else if (line[0] == '"' || line[0] == '@')
                ok = ValueLine(line, lines);
            if (!ok)
                return ERROR_BADDB;
        }
        return ERROR_SUCCESS;
    }

private:
    bool KeyLine(const std::string& line)
    {
        if (line.size() < 2 || line.back() != ']')
            return false;
        std::string inner = line.substr(1, line.size() - 2);
        const bool removal = !inner.empty() && inner[0] == '-';
        if (removal)
            inner.erase(0, 1);
        const std::string::size_type slash = inner.find('\\');
        if (!SameName(inner.substr(0, slash), m_rootName))
            return false;
        const std::string path = slash == std::string::npos ? std::string() : inner.substr(slash + 1);
        if (!ValidKeyPath(path))
            return false;
        m_inSection = true;
        if (removal) {
            m_hive.EraseTree(path);
            m_key.clear();
            m_skipValues = true;
        } else {
            bool created = false;
            m_key = m_hive.Create(path, created).path;
            m_skipValues = false;
        }
        return true;
    }

    bool ValueLine(const std::string& line, const std::vector<std::string>& lines)
    {
        if (!m_inSection)
            return false;
        std::string name;
        std::string::size_type pos = 0;
        if (line[0] == '@')
            pos = 1;
        else if (!ParseQuoted(line, pos, name))
            return false;
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
            ++pos;
        if (pos >= line.size() || line[pos] != '=')
            return false;
        ++pos;
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
            ++pos;
        std::string rest = line.substr(pos);

        Value value;
        value.name = name;
        if (rest == "-") {
            if (!m_skipValues) {
                Key* key = m_hive.Find(m_key);
                for (auto it = key->values.begin(); it != key->values.end(); ++it)
                    if (SameName(it->name, name)) {
                        key->values.erase(it);
                        break;
                    }
            }
            return true;
        }
        if (!rest.empty() && rest[0] == '"') {
            std::string text;
            std::string::size_type at = 0;
            if (!ParseQuoted(rest, at, text) || at != rest.size())
                return false;
            value.type = REG_SZ;
            value.data.assign(text.begin(), text.end());
            value.data.push_back(0);
        } else if (StartsWithNoCase(rest, "dword:")) {
            DWORD number = 0;
            if (!ParseHexNumber(rest.substr(6), 8, number))
                return false;
            value.type = REG_DWORD;
            for (int shift = 0; shift < 32; shift += 8)
                value.data.push_back(static_cast<BYTE>(number >> shift));
        } else if (StartsWithNoCase(rest, "hex")) {
            // Continuation lines end with a backslash.
            while (!rest.empty() && rest.back() == '\\') {
                rest.pop_back();
                if (++m_index >= lines.size())
                    return false;
                rest += lines[m_index];
            }
            std::string::size_type colon = rest.find(':');
            if (colon == std::string::npos)
                return false;
            const std::string kind = rest.substr(3, colon - 3);
            if (kind.empty()) {
                value.type = REG_BINARY;
            } else {
                if (kind.size() < 3 || kind.front() != '(' || kind.back() != ')')
                    return false;
                if (!ParseHexNumber(kind.substr(1, kind.size() - 2), 8, value.type))
                    return false;
            }
            if (!ParseHexBytes(rest.substr(colon + 1), value.data))
                return false;
        } else {
            return false;
        }
        if (m_skipValues)
            return true;
        Key* key = m_hive.Find(m_key);
        if (Value* existing = key->FindValue(name)) {
            existing->type = value.type;
            existing->data = value.data;
        } else {
            key->values.push_back(value);
        }
        return true;
    }

    const std::string& m_rootName;
    Hive& m_hive;
    std::vector<std::string>::size_type m_index = 0;
    std::string m_key;          // the path of the current section
    bool m_inSection = false;   // a key line has been seen
    bool m_skipValues = false;  // the current section removes a key
};

// ---- writing -------------------------------------------------------------

std::string Escape(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out;
}

bool QuotableString(const Value& value)
{
    if (value.type != REG_SZ || value.data.empty() || value.data.back() != 0)
        return false;
    for (std::vector<BYTE>::size_type i = 0; i + 1 < value.data.size(); ++i) {
        const BYTE b = value.data[i];
        if (b == 0 || b == '\r' || b == '\n')
            return false;
    }
    return true;
}

void AppendHex(std::string& out, std::string line, const std::vector<BYTE>& data)
{
    char digits[4];
    for (std::vector<BYTE>::size_type i = 0; i < data.size(); ++i) {
        std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned>(data[i]));
        std::string token = digits;
        if (i + 1 < data.size())
            token += ',';
        if (line.size() + token.size() + 1 > kLineWidth - 1) {
            out += line + "\\\n";
            line = "  ";
        }
        line += token;
    }
    out += line + "\n";
}

void AppendValue(std::string& out, const Value& value)
{
    std::string line = value.name.empty() ? std::string("@=") : "\"" + Escape(value.name) + "\"=";
    if (QuotableString(value)) {
        const std::string text(value.data.begin(), value.data.end() - 1);
        out += line + "\"" + Escape(text) + "\"\n";
    } else if (value.type == REG_DWORD && value.data.size() == 4) {
        const DWORD number = static_cast<DWORD>(value.data[0]) | static_cast<DWORD>(value.data[1]) << 8 |
                             static_cast<DWORD>(value.data[2]) << 16 | static_cast<DWORD>(value.data[3]) << 24;
        char digits[16];
        std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(number));
        out += line + "dword:" + digits + "\n";
    } else if (value.type == REG_BINARY) {
        AppendHex(out, line + "hex:", value.data);
    } else {
        char kind[16];
        std::snprintf(kind, sizeof kind, "hex(%x):", static_cast<unsigned>(value.type));
        AppendHex(out, line + kind, value.data);
    }
}

}  // namespace

LONG ParseRegistryText(const std::string& bytes, const std::string& rootName, Hive& hive)
{
    std::string text;
    if (!Decode(bytes, text))
        return ERROR_BADDB;
    Hive parsed;
    const LONG result = Parser(rootName, parsed).Run(SplitLines(text));
    if (result == ERROR_SUCCESS)
        hive = parsed;
    return result;
}

std::string FormatRegistryText(const Hive& hive, const std::string& rootName)
{
    std::string out = std::string(kHeader5) + "\n\n";
    for (const auto& entry : hive.Keys()) {
        const Key& key = entry.second;
        if (key.path.empty() && key.values.empty())
            continue;  // the bare root is implied
        out += "[" + rootName + (key.path.empty() ? "" : "\\" + key.path) + "]\n";
        for (const Value& value : key.values)
            AppendValue(out, value);
        out += "\n";
    }
    return out;
}

}  // namespace platform::registry

#endif
