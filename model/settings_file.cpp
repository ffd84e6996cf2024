#include "model/settings_file.h"

#include <cstring>
#include <cwchar>

#include "common/unique_handles.h"

FileWrites g_fileWrites = {CreateFileW, WriteFile, FlushFileBuffers, MoveFileExW, DeleteFileW};
size_t g_settingsLineSteps = 0;

namespace {

// The mark of a file whose texts escape line breaks and "^". It stands in the
// section an earlier version writes anew with nothing but its count, so a file
// that version saved after this one, every "^" as written, loses it.
constexpr wchar_t kEscapesSection[] = L"Tasks";
constexpr wchar_t kEscapesName[] = L"Escapes";

// Far beyond the most tasks a store loads, each with every text full: a
// larger file is no settings file, and would only fill the memory.
constexpr DWORD kMaxFileBytes = 64u << 20;

HANDLE NullIfInvalid(HANDLE handle) { return handle == INVALID_HANDLE_VALUE ? nullptr : handle; }

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// Moves [from, to) without its blanks at either end down to `out`, which
// lies at or before `from`; returns the end of what was moved.
wchar_t* PutTrimmed(wchar_t* out, const wchar_t* from, const wchar_t* to) {
    while (from < to && IsBlank(*from)) {
        ++from;
    }
    while (to > from && IsBlank(to[-1])) {
        --to;
    }
    wmemmove(out, from, static_cast<size_t>(to - from));
    return out + (to - from);
}

int DigitValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') {
        return c - L'0';
    }
    c |= 0x20;
    return c >= L'a' && c <= L'f' ? c - L'a' + 10 : -1;
}

// Decimal, or hexadecimal after "0x", as a person may write a language id;
// a minus sign gives the number's 32-bit two's complement. A comment may
// follow after ";".
bool ParseNumber(const wchar_t* text, DWORD& value) {
    const bool negative = *text == L'-';
    text += negative ? 1 : 0;
    int base = 10;
    if (text[0] == L'0' && (text[1] | 0x20) == L'x') {
        base = 16;
        text += 2;
    }
    ULONGLONG number = 0;
    const wchar_t* digits = text;
    for (int digit; (digit = DigitValue(*text)) >= 0 && digit < base; ++text) {
        if ((number = number * base + digit) > 0xFFFFFFFFull) {
            return false;
        }
    }
    const wchar_t* rest = text;
    while (IsBlank(*rest)) {
        ++rest;
    }
    if (text == digits || (*rest && *rest != L';') || (negative && number > 0x80000000ull)) {
        return false;
    }
    value = negative ? 0u - static_cast<DWORD>(number) : static_cast<DWORD>(number);
    return true;
}

// A text written as it is, unless a space or a quote at either end would be
// lost to the reader's trimming or unquoting: then in quotes. A line break
// would end the line, so it is escaped, as is the escape character.
// `line` holds twice the text and 3 units.
size_t FormatText(const wchar_t* text, wchar_t* line) {
    const size_t length = wcslen(text);
    const bool quoted = length && (IsBlank(text[0]) || text[0] == L'"' || IsBlank(text[length - 1]) ||
                                   text[length - 1] == L'"');
    size_t used = 0;
    if (quoted) {
        line[used++] = L'"';
    }
    for (size_t i = 0; i < length; ++i) {
        const wchar_t c = text[i];
        if (c == L'\r' || c == L'\n' || c == L'^') {
            line[used++] = L'^';
        }
        line[used++] = c == L'\r' ? L'r' : c == L'\n' ? L'n' : c;
    }
    if (quoted) {
        line[used++] = L'"';
    }
    line[used] = L'\0';
    return used;
}

// The text FormatText escaped, at most as long; `text` holds the value's length
// and 1 unit. A "^" before anything else stays as it stands, and every one in
// a file not `escaped`.
void Unescape(const wchar_t* value, wchar_t* text, bool escaped) {
    for (; *value; ++value) {
        const wchar_t next = escaped && value[0] == L'^' ? value[1] : 0;
        if (next == L'n' || next == L'r' || next == L'^') {
            *text++ = next == L'n' ? L'\n' : next == L'r' ? L'\r' : L'^';
            ++value;
        } else {
            *text++ = *value;
        }
    }
    *text = L'\0';
}

// Folds case as the comparison of names does for the names the store asks for.
unsigned NameHash(const wchar_t* name) {
    unsigned hash = 2166136261u;
    for (; *name; ++name) {
        const wchar_t c = *name >= L'A' && *name <= L'Z' ? *name | 0x20 : *name;
        hash = (hash ^ c) * 16777619u;
    }
    return hash;
}

}  // namespace

bool SettingsFile::Read(const wchar_t* path) {
    tessaly::unique_handle file(NullIfInvalid(CreateFileW(path, GENERIC_READ,
                                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                          nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr)));
    LARGE_INTEGER size = {};
    const DWORD openError = GetLastError();
    m_missing = !file && (openError == ERROR_FILE_NOT_FOUND || openError == ERROR_PATH_NOT_FOUND);
    if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart > kMaxFileBytes) {
        return false;
    }
    DWORD bytes = size.LowPart;
    std::unique_ptr<BYTE[]> raw(new BYTE[bytes + 1]);
    DWORD read = 0;
    if (bytes != 0 && (!ReadFile(file.get(), raw.get(), bytes, &read, nullptr) || read != bytes)) {
        return false;
    }
    const BYTE* start = raw.get();
    const bool bigEndian = bytes >= 2 && start[0] == 0xFE && start[1] == 0xFF;
    if (bigEndian || (bytes >= 2 && start[0] == 0xFF && start[1] == 0xFE)) {
        m_length = (bytes - 2) / 2;
        m_text.reset(new wchar_t[m_length + 1]);
        memcpy(m_text.get(), start + 2, m_length * sizeof(wchar_t));
        for (size_t i = 0; bigEndian && i < m_length; ++i) {
            m_text[i] = static_cast<wchar_t>(m_text[i] << 8 | m_text[i] >> 8);
        }
    } else {
        const DWORD mark = bytes >= 3 && memcmp(start, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
        auto text = reinterpret_cast<const char*>(start + mark);
        const int units = static_cast<int>(bytes - mark);
        // Not UTF-8: written in the ANSI code page, as by an older editor
        // or a program that knows no other.
        UINT codePage = CP_UTF8;
        int needed = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, units, nullptr, 0);
        if (needed == 0 && units != 0) {
            codePage = CP_ACP;
            if ((needed = MultiByteToWideChar(CP_ACP, 0, text, units, nullptr, 0)) == 0) {
                return false;
            }
        }
        m_length = static_cast<size_t>(needed);
        m_text.reset(new wchar_t[m_length + 1]);
        MultiByteToWideChar(codePage, 0, text, units, m_text.get(), needed);
    }
    m_sections = 0;
    m_content = false;
    wchar_t* end = m_text.get() + m_length;
    *end = L'\0';
    for (wchar_t* line = m_text.get(); line < end;) {
        wchar_t* lineEnd = line + wcscspn(line, L"\r\n");
        const wchar_t* first = line;
        while (first < lineEnd && IsBlank(*first)) {
            ++first;
        }
        const wchar_t* mark = nullptr;
        if (first < lineEnd && *first != L';') {
            m_content = true;
            mark = wmemchr(first, *first == L'[' ? L']' : L'=', static_cast<size_t>(lineEnd - first));
        }
        wchar_t* out = line;
        if (mark && *first == L'[') {
            // "[Name" stands for the section.
            *out++ = L'[';
            out = PutTrimmed(out, first + 1, mark);
            ++m_sections;
        } else if (mark && (out = PutTrimmed(line, first, mark)) != line) {
            *out++ = L'=';
            wchar_t* value = out;
            out = PutTrimmed(out, mark + 1, lineEnd);
            if (out - value >= 2 && value[0] == L'"' && out[-1] == L'"') {
                wmemmove(value, value + 1, static_cast<size_t>(out - value - 2));
                out -= 2;
            }
        } else {
            out = line;
        }
        wmemset(out, L'\0', static_cast<size_t>(lineEnd - out));
        for (line = lineEnd; line < end && (*line == L'\r' || *line == L'\n' || *line == L'\0'); ++line) {
            *line = L'\0';
        }
    }
    IndexSections();
    DWORD escapes = 0;
    m_escaped = ReadNumber(FindSection(kEscapesSection), kEscapesName, escapes) && escapes == 1;
    return true;
}

void SettingsFile::IndexSections() {
    m_slots = 8;
    while (m_slots < 2 * m_sections) {
        m_slots *= 2;
    }
    m_index.reset(new int[m_slots]());
    const wchar_t* text = m_text.get();
    const wchar_t* end = text + m_length;
    for (const wchar_t* line = text; line < end; line += *line ? wcslen(line) : 1) {
        if (*line != L'[') {
            continue;
        }
        size_t slot = NameHash(line + 1) & (m_slots - 1);
        while (m_index[slot] && _wcsicmp(text + m_index[slot], line + 1) != 0) {
            slot = (slot + 1) & (m_slots - 1);
        }
        if (!m_index[slot]) {
            m_index[slot] = static_cast<int>(line - text) + 1;
        }
    }
}

// The first line from `line` on that holds anything; null at the end.
const wchar_t* SettingsFile::NextLine(const wchar_t* line) const {
    const wchar_t* end = m_text.get() + m_length;
    ++g_settingsLineSteps;
    while (line < end && *line == L'\0') {
        ++line;
    }
    return line < end ? line : nullptr;
}

int SettingsFile::FindSection(const wchar_t* name) const {
    for (size_t slot = m_index ? NameHash(name) & (m_slots - 1) : 0; m_index && m_index[slot];
         slot = (slot + 1) & (m_slots - 1)) {
        // The index holds each place plus one: just past the "[".
        if (_wcsicmp(m_text.get() + m_index[slot], name) == 0) {
            return m_index[slot] - 1;
        }
    }
    return -1;
}

const wchar_t* SettingsFile::NextValue(int section, const wchar_t* line) const {
    line = NextLine(line ? line + wcslen(line) : m_text.get() + section + wcslen(m_text.get() + section));
    return line && line[0] != L'[' ? line : nullptr;
}

size_t SettingsFile::NumberedSections(const wchar_t* prefix, size_t limit) const {
    const size_t length = wcslen(prefix);
    size_t highest = 0;
    for (size_t slot = 0; slot < m_slots; ++slot) {
        const wchar_t* name = m_index[slot] ? m_text.get() + m_index[slot] : nullptr;
        if (!name || _wcsnicmp(name, prefix, length) != 0) {
            continue;
        }
        // As the store names them: decimal, no leading zero.
        const wchar_t* digits = name + length;
        size_t n = 0;
        for (const wchar_t* c = digits; *c >= L'0' && *c <= L'9' && n < limit; ++c) {
            n = n * 10 + static_cast<size_t>(*c - L'0');
            if (c[1] == L'\0' && (c == digits || *digits != L'0') && n < limit && n >= highest) {
                highest = n + 1;
            }
        }
    }
    return highest;
}

const wchar_t* SettingsFile::Value(int section, const wchar_t* name) const {
    if (section < 0) {
        return nullptr;
    }
    const size_t length = wcslen(name);
    for (const wchar_t* line = NextValue(section, nullptr); line; line = NextValue(section, line)) {
        if (_wcsnicmp(line, name, length) == 0 && line[length] == L'=') {
            return line + length + 1;
        }
    }
    return nullptr;
}

bool SettingsFile::ReadNumber(int section, const wchar_t* name, DWORD& value) const {
    const wchar_t* text = Value(section, name);
    return text && ParseNumber(text, value);
}

bool SettingsFile::ReadBytes(int section, const wchar_t* name, void* data, DWORD size) const {
    const wchar_t* text = Value(section, name);
    if (!text || wcslen(text) != 2 * size_t(size)) {
        return false;
    }
    std::unique_ptr<BYTE[]> bytes(new BYTE[size]);
    for (DWORD i = 0; i < size; ++i) {
        int high = DigitValue(text[2 * i]), low = DigitValue(text[2 * i + 1]);
        if (high < 0 || low < 0) {
            return false;
        }
        bytes[i] = static_cast<BYTE>(high << 4 | low);
    }
    memcpy(data, bytes.get(), size);
    return true;
}

bool SettingsFile::ReadText(int section, const wchar_t* name, wchar_t* text, size_t length) const {
    const wchar_t* value = Value(section, name);
    if (!value || length == 0) {
        return false;
    }
    std::unique_ptr<wchar_t[]> plain(new wchar_t[wcslen(value) + 1]);
    Unescape(value, plain.get(), m_escaped);
    lstrcpynW(text, plain.get(), static_cast<int>(length));
    return true;
}

size_t SettingsFileWriter::AddSection(const wchar_t* name) {
    m_ends.push_back(m_length);
    const size_t section = m_ends.size() - 1;
    // A blank line between sections, for the reader's eye.
    if (section != 0) {
        Insert(section, L"\r\n", 2);
    }
    Insert(section, L"[", 1);
    Insert(section, name, wcslen(name));
    Insert(section, L"]\r\n", 3);
    if (_wcsicmp(name, kEscapesSection) == 0) {
        WriteNumber(section, kEscapesName, 1);
    }
    return section;
}

void SettingsFileWriter::WriteNumber(size_t section, const wchar_t* name, DWORD value) {
    wchar_t text[16];
    AddLine(section, name, text, static_cast<size_t>(wsprintfW(text, L"%d", static_cast<int>(value))));
}

void SettingsFileWriter::WriteBytes(size_t section, const wchar_t* name, const void* data, DWORD size) {
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    std::unique_ptr<wchar_t[]> text(new wchar_t[2 * size_t(size)]);
    for (DWORD i = 0; i < size; ++i) {
        BYTE byte = static_cast<const BYTE*>(data)[i];
        text[2 * i] = kDigits[byte >> 4];
        text[2 * i + 1] = kDigits[byte & 15];
    }
    AddLine(section, name, text.get(), 2 * size_t(size));
}

void SettingsFileWriter::WriteText(size_t section, const wchar_t* name, const wchar_t* text) {
    std::unique_ptr<wchar_t[]> line(new wchar_t[2 * wcslen(text) + 3]);
    AddLine(section, name, line.get(), FormatText(text, line.get()));
}

void SettingsFileWriter::Keep(size_t section, const SettingsFile& file, int fileSection) {
    m_keptFile = &file;
    m_keptSection = fileSection;
    m_keptInto = section;
}

void SettingsFileWriter::AddLine(size_t section, const wchar_t* name, const wchar_t* value, size_t length) {
    Insert(section, name, wcslen(name));
    Insert(section, L"=", 1);
    Insert(section, value, length);
    Insert(section, L"\r\n", 2);
}

// At the end of the section: later sections move up.
void SettingsFileWriter::Insert(size_t section, const wchar_t* text, size_t length) {
    if (m_length + length > m_capacity) {
        m_capacity = (m_length + length) * 2 + 256;
        std::unique_ptr<wchar_t[]> grown(new wchar_t[m_capacity]);
        if (m_length) {
            wmemcpy(grown.get(), m_text.get(), m_length);
        }
        m_text = std::move(grown);
    }
    const size_t at = m_ends[section];
    wmemmove(m_text.get() + at + length, m_text.get() + at, m_length - at);
    wmemcpy(m_text.get() + at, text, length);
    m_length += length;
    for (size_t later = section; later < m_ends.size(); ++later) {
        m_ends[later] += length;
    }
}

bool SettingsFileWriter::Holds(size_t section, const wchar_t* name) const {
    const size_t length = wcslen(name);
    const wchar_t* text = m_text.get();
    for (size_t at = section ? m_ends[section - 1] : 0; at + length < m_ends[section]; ++at) {
        if ((at == 0 || text[at - 1] == L'\n') && _wcsnicmp(text + at, name, length) == 0 && text[at + length] == L'=') {
            return true;
        }
    }
    return false;
}

unsigned long long SettingsFileWriter::Stamp() const {
    unsigned long long hash = 14695981039346656037ull;
    for (size_t i = 0; i < m_length; ++i) {
        hash = (hash ^ m_text[i]) * 1099511628211ull;
    }
    return hash;
}

bool SettingsFileWriter::Write(const wchar_t* path) {
    for (const wchar_t* line = m_keptFile ? m_keptFile->NextValue(m_keptSection, nullptr) : nullptr; line;
         line = m_keptFile->NextValue(m_keptSection, line)) {
        const wchar_t* equals = wcschr(line, L'=');
        std::unique_ptr<wchar_t[]> name(new wchar_t[equals - line + 1]);
        lstrcpynW(name.get(), line, static_cast<int>(equals - line + 1));
        if (!Holds(m_keptInto, name.get())) {
            // Read as a text, written back as one.
            const size_t length = wcslen(equals);
            std::unique_ptr<wchar_t[]> plain(new wchar_t[length]);
            Unescape(equals + 1, plain.get(), m_keptFile->Escaped());
            std::unique_ptr<wchar_t[]> value(new wchar_t[2 * length + 1]);
            AddLine(m_keptInto, name.get(), value.get(), FormatText(plain.get(), value.get()));
        }
    }
    m_keptFile = nullptr;
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    // Beside the file, so that the move is a rename within its folder.
    const size_t pathLength = wcslen(path);
    std::unique_ptr<wchar_t[]> next(new wchar_t[pathLength + 5]);
    wmemcpy(next.get(), path, pathLength);
    wmemcpy(next.get() + pathLength, L".new", 5);
    tessaly::unique_handle file(NullIfInvalid(
        g_fileWrites.createFile(next.get(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)));
    if (!file) {
        return false;
    }
    static const wchar_t kByteOrderMark = 0xFEFF;
    DWORD written = 0;
    const DWORD bytes = static_cast<DWORD>(m_length * sizeof(wchar_t));
    bool done = g_fileWrites.writeFile(file.get(), &kByteOrderMark, sizeof(kByteOrderMark), &written, nullptr) &&
                g_fileWrites.writeFile(file.get(), m_text.get(), bytes, &written, nullptr) && written == bytes &&
                g_fileWrites.flushFileBuffers(file.get());
    file.reset();
    done = done && g_fileWrites.moveFileEx(next.get(), path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!done) {
        // What was written of the next file never took effect.
        DWORD error = GetLastError();
        g_fileWrites.deleteFile(next.get());
        SetLastError(error);
    }
    return done;
}
