#include "platform/x11/xsettings.h"

namespace x11 {

namespace {

enum SettingType : std::uint8_t { kInteger = 0, kString = 1, kColor = 2 };

// The smallest setting: type, pad and name length, an empty name, the serial
// and an integer (a string's length alone is as long).
constexpr std::size_t kSmallestSetting = 12;

class Reader {
public:
    Reader(const unsigned char* data, std::size_t size) : m_data(data), m_size(size) {}

    std::size_t left() const { return m_size - m_pos; }
    void setMsbFirst(bool msbFirst) { m_msbFirst = msbFirst; }

    bool skip(std::size_t count) {
        if (count > left()) return false;
        m_pos += count;
        return true;
    }
    // Skips `length` bytes and the padding that rounds them up to 4.
    bool skipPadded(std::size_t length) { return skip(length) && skip((4 - length % 4) % 4); }

    bool card8(std::uint8_t* out) {
        if (left() < 1) return false;
        *out = m_data[m_pos++];
        return true;
    }
    bool card16(std::uint16_t* out) {
        std::uint32_t value;
        if (!unsigned_(2, &value)) return false;
        *out = static_cast<std::uint16_t>(value);
        return true;
    }
    bool card32(std::uint32_t* out) { return unsigned_(4, out); }

    bool paddedString(std::size_t length, std::string* out) {
        if (length > left()) return false;
        out->assign(reinterpret_cast<const char*>(m_data + m_pos), length);
        return skipPadded(length);
    }

private:
    bool unsigned_(std::size_t bytes, std::uint32_t* out) {
        if (left() < bytes) return false;
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < bytes; ++i) {
            const std::uint32_t byte = m_data[m_pos + (m_msbFirst ? i : bytes - 1 - i)];
            value = value << 8 | byte;
        }
        m_pos += bytes;
        *out = value;
        return true;
    }

    const unsigned char* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
    bool m_msbFirst = false;
};

}  // namespace

std::optional<XSettingsIntegers> parseXSettings(const unsigned char* data, std::size_t size) {
    if (!data) return std::nullopt;
    Reader in(data, size);
    std::uint8_t byteOrder;
    std::uint32_t serial, count;
    // LSBFirst and MSBFirst, as in the X protocol.
    if (!in.card8(&byteOrder) || byteOrder > 1) return std::nullopt;
    in.setMsbFirst(byteOrder == 1);
    if (!in.skip(3) || !in.card32(&serial) || !in.card32(&count)) return std::nullopt;
    // A count the bytes cannot hold is a lie; refusing it up front keeps a
    // huge one from costing a loop.
    if (count > in.left() / kSmallestSetting) return std::nullopt;

    XSettingsIntegers integers;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint8_t type;
        std::uint16_t nameLength;
        std::string name;
        std::uint32_t lastChange;
        if (!in.card8(&type) || !in.skip(1) || !in.card16(&nameLength) || !in.paddedString(nameLength, &name) ||
            !in.card32(&lastChange))
            return std::nullopt;
        switch (type) {
        case kInteger: {
            std::uint32_t value;
            if (!in.card32(&value)) return std::nullopt;
            integers[name] = static_cast<std::int32_t>(value);
            break;
        }
        case kString: {
            std::uint32_t length;
            if (!in.card32(&length) || !in.skipPadded(length)) return std::nullopt;
            break;
        }
        case kColor:
            if (!in.skip(4 * 2)) return std::nullopt;
            break;
        default: return std::nullopt;
        }
    }
    return integers;
}

}  // namespace x11
