#include "model/store_part.h"

#include "model/registry.h"

using tessaly::unique_hkey;


StorePart StorePart::Open(const wchar_t* name) const {
    if (m_file) {
        int section = m_file->FindSection(name);
        return section < 0 ? StorePart() : StorePart(m_file, section);
    }
    return StorePart(m_key ? registry::OpenKey(m_key.get(), name) : unique_hkey());
}

StorePart StorePart::Create(const wchar_t* name) {
    if (m_next) {
        return StorePart(m_next, static_cast<int>(m_next->AddSection(name)));
    }
    return StorePart(m_key ? registry::CreateKey(m_key.get(), name) : unique_hkey());
}

bool StorePart::ReadNumber(const wchar_t* name, DWORD& value) const {
    return m_file ? m_file->ReadNumber(m_section, name, value) : registry::ReadDword(m_key.get(), name, value);
}

bool StorePart::ReadInt(const wchar_t* name, int& value) const {
    DWORD raw = static_cast<DWORD>(value);
    bool read = ReadNumber(name, raw);
    value = static_cast<int>(raw);
    return read;
}

bool StorePart::ReadUint(const wchar_t* name, UINT& value) const {
    DWORD raw = value;
    bool read = ReadNumber(name, raw);
    value = raw;
    return read;
}

bool StorePart::ReadBytes(const wchar_t* name, void* data, DWORD size) const {
    return m_file ? m_file->ReadBytes(m_section, name, data, size)
                  : registry::ReadBinary(m_key.get(), name, data, size);
}

bool StorePart::ReadText(const wchar_t* name, wchar_t (&text)[kTextFieldLength]) const {
    return m_file ? m_file->ReadText(m_section, name, text, kTextFieldLength)
                  : registry::ReadString(m_key.get(), name, text);
}

bool StorePart::WriteNumber(const wchar_t* name, DWORD value) {
    if (m_next) {
        m_next->WriteNumber(static_cast<size_t>(m_section), name, value);
        return true;
    }
    return registry::WriteDword(m_key.get(), name, value);
}

bool StorePart::WriteBytes(const wchar_t* name, const void* data, DWORD size) {
    if (m_next) {
        m_next->WriteBytes(static_cast<size_t>(m_section), name, data, size);
        return true;
    }
    return registry::WriteBinary(m_key.get(), name, data, size);
}

bool StorePart::WriteText(const wchar_t* name, const wchar_t* text) {
    if (m_next) {
        m_next->WriteText(static_cast<size_t>(m_section), name, text);
        return true;
    }
    return registry::WriteString(m_key.get(), name, text);
}

bool StorePart::KeepValues(const StorePart& current) {
    if (m_next) {
        m_next->Keep(static_cast<size_t>(m_section), *current.m_file, current.m_section);
        return true;
    }
    return registry::CopyTree(current.m_key.get(), m_key.get());
}

