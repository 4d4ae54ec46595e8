// Reader of compiled resource files (.res) and of the resource formats inside them.
#include "res_file.h"

#include <fstream>
#include <iterator>

namespace {

class Cursor {
public:
    Cursor(const Bytes& data, size_t start = 0) : m_data(data), m_pos(start) {}
    bool ok() const { return m_ok; }
    size_t pos() const { return m_pos; }
    void Seek(size_t pos) { m_ok = m_ok && pos <= m_data.size(), m_pos = pos; }
    void Align4() { Seek((m_pos + 3) & ~static_cast<size_t>(3)); }
    uint8_t U8() {
        if (!Need(1))
            return 0;
        return m_data[m_pos++];
    }
    uint16_t U16() {
        if (!Need(2))
            return 0;
        const uint16_t v = static_cast<uint16_t>(m_data[m_pos] | (m_data[m_pos + 1] << 8));
        m_pos += 2;
        return v;
    }
    uint32_t U32() {
        const uint32_t lo = U16();
        return lo | (static_cast<uint32_t>(U16()) << 16);
    }
    std::u16string Sz() {
        std::u16string s;
        for (uint16_t c = U16(); m_ok && c != 0; c = U16())
            s.push_back(static_cast<char16_t>(c));
        return s;
    }
    // A name or ordinal: 0xFFFF then the ordinal, or a zero-terminated string.
    std::string SzOrOrd(bool lower = false) {
        if (!Need(2))
            return {};
        if (m_data[m_pos] == 0xFF && m_data[m_pos + 1] == 0xFF) {
            U16();
            return "#" + std::to_string(U16());
        }
        std::u16string s = Sz();
        if (lower) {
            for (char16_t& c : s) {
                if (c >= u'A' && c <= u'Z')
                    c = static_cast<char16_t>(c - u'A' + u'a');
            }
        }
        return Utf8(s);
    }

private:
    bool Need(size_t n) {
        if (!m_ok || m_pos + n > m_data.size()) {
            m_ok = false;
            return false;
        }
        return true;
    }
    const Bytes& m_data;
    size_t m_pos;
    bool m_ok = true;
};

}  // namespace

Bytes ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Utf8(const std::u16string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        }
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

bool ParseRes(const Bytes& file, std::vector<ResEntry>& entries) {
    Cursor c(file);
    while (c.ok() && c.pos() < file.size()) {
        const size_t start = c.pos();
        const uint32_t dataSize = c.U32();
        const uint32_t headerSize = c.U32();
        const std::string type = c.SzOrOrd();
        const std::string name = c.SzOrOrd();
        c.Align4();
        c.U32();  // data version
        c.U16();  // memory flags
        const uint16_t language = c.U16();
        if (!c.ok() || headerSize < 32 || start + headerSize + dataSize > file.size())
            return false;
        const size_t data = start + headerSize;
        if (dataSize != 0 && type.size() > 1 && type[0] == '#' && name.size() > 1 && name[0] == '#') {
            ResEntry e;
            e.type = static_cast<uint16_t>(std::stoul(type.substr(1)));
            e.name = static_cast<uint16_t>(std::stoul(name.substr(1)));
            e.language = language;
            e.data.assign(file.begin() + static_cast<long>(data), file.begin() + static_cast<long>(data + dataSize));
            entries.push_back(std::move(e));
        }
        c.Seek(data + dataSize);
        c.Align4();
    }
    return c.ok();
}

const ResEntry* FindRes(const std::vector<ResEntry>& entries, uint16_t type, uint16_t name, uint16_t language) {
    for (const ResEntry& e : entries) {
        if (e.type == type && e.name == name && e.language == language)
            return &e;
    }
    return nullptr;
}

bool ParseDialog(const Bytes& data, Dialog& d) {
    Cursor c(data);
    d = Dialog{};
    d.extended = data.size() >= 4 && data[0] == 1 && data[1] == 0 && data[2] == 0xFF && data[3] == 0xFF;
    if (d.extended) {
        c.U32();  // version and signature
        c.U32();  // help id
        d.exStyle = c.U32();
        d.style = c.U32();
    } else {
        d.style = c.U32();
        d.exStyle = c.U32();
    }
    const uint16_t count = c.U16();
    d.x = static_cast<int16_t>(c.U16());
    d.y = static_cast<int16_t>(c.U16());
    d.cx = static_cast<int16_t>(c.U16());
    d.cy = static_cast<int16_t>(c.U16());
    if (c.SzOrOrd() != "")
        return false;  // no menu
    if (c.SzOrOrd() != "")
        return false;  // the standard dialog class
    d.title = Utf8(c.Sz());
    if (d.style & 0x40) {  // DS_SETFONT
        d.pointSize = c.U16();
        if (d.extended) {
            d.weight = c.U16();
            d.italic = c.U8();
            d.charset = c.U8();
        }
        d.font = Utf8(c.Sz());
    }
    for (uint16_t i = 0; i < count && c.ok(); ++i) {
        DialogItem item;
        c.Align4();
        if (d.extended) {
            c.U32();  // help id
            item.exStyle = c.U32();
            item.style = c.U32();
        } else {
            item.style = c.U32();
            item.exStyle = c.U32();
        }
        item.x = static_cast<int16_t>(c.U16());
        item.y = static_cast<int16_t>(c.U16());
        item.cx = static_cast<int16_t>(c.U16());
        item.cy = static_cast<int16_t>(c.U16());
        if (d.extended) {
            item.id = static_cast<int32_t>(c.U32());
        } else {
            item.id = static_cast<int16_t>(c.U16());
        }
        item.cls = c.SzOrOrd(true);
        // The dialog manager treats the predefined class names like their ordinals.
        static const char* const kPredefined[] = {"button", "edit", "static", "listbox", "scrollbar", "combobox"};
        for (int k = 0; k < 6; ++k) {
            if (item.cls == kPredefined[k])
                item.cls = "#" + std::to_string(0x80 + k);
        }
        item.text = c.SzOrOrd();
        const uint16_t extra = c.U16();
        c.Seek(c.pos() + extra);
        d.items.push_back(item);
    }
    return c.ok();
}

bool ParseStringBlock(const Bytes& data, uint16_t blockName, std::vector<std::pair<uint16_t, std::string>>& out) {
    Cursor c(data);
    for (uint16_t i = 0; i < 16 && c.ok(); ++i) {
        const uint16_t length = c.U16();
        std::u16string s;
        for (uint16_t k = 0; k < length && c.ok(); ++k)
            s.push_back(static_cast<char16_t>(c.U16()));
        if (length != 0)
            out.emplace_back(static_cast<uint16_t>((blockName - 1) * 16 + i), Utf8(s));
    }
    return c.ok();
}

bool ParseAccelerators(const Bytes& data, std::vector<Accelerator>& out) {
    Cursor c(data);
    while (c.ok() && c.pos() + 8 <= data.size()) {
        Accelerator a;
        a.flags = c.U16();
        a.key = c.U16();
        a.command = c.U16();
        c.U16();
        out.push_back(a);
        if (a.flags & 0x80)
            break;  // end of table
    }
    return c.ok() && !out.empty() && (out.back().flags & 0x80) && c.pos() == data.size();
}

bool ParseIconGroup(const Bytes& data, std::vector<IconGroupEntry>& out) {
    Cursor c(data);
    if (c.U16() != 0 || c.U16() != 1)
        return false;
    const uint16_t count = c.U16();
    for (uint16_t i = 0; i < count && c.ok(); ++i) {
        IconGroupEntry e;
        e.width = c.U8();
        e.height = c.U8();
        c.U8();  // colour count
        c.U8();
        c.U16();  // planes
        e.bitCount = c.U16();
        e.bytes = c.U32();
        e.id = c.U16();
        out.push_back(e);
    }
    return c.ok() && c.pos() == data.size();
}
