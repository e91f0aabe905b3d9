// Builds _XSETTINGS_SETTINGS bytes as a settings manager writes them, in
// either byte order, and lets a test write them wrong on purpose.
#pragma once

#include <cstdint>
#include <string>

namespace testing_support {

class XSettingsBlob {
public:
    explicit XSettingsBlob(bool msbFirst = false, std::uint32_t serial = 1) : m_msbFirst(msbFirst) {
        m_bytes.push_back(static_cast<char>(msbFirst ? 1 : 0));
        m_bytes.append(3, '\0');
        card32(serial);
        card32(0);  // the count, kept by each add
    }

    XSettingsBlob& integer(const std::string& name, std::int32_t value) {
        header(0, name);
        card32(static_cast<std::uint32_t>(value));
        return counted();
    }
    XSettingsBlob& string(const std::string& name, const std::string& value) {
        header(1, name);
        card32(static_cast<std::uint32_t>(value.size()));
        m_bytes += value;
        pad(value.size());
        return counted();
    }
    XSettingsBlob& color(const std::string& name, std::uint16_t r, std::uint16_t g, std::uint16_t b, std::uint16_t a) {
        header(2, name);
        for (std::uint16_t c : {r, g, b, a}) card16(c);
        return counted();
    }
    // A setting of a type no manager writes, with an integer's body.
    XSettingsBlob& unknownType(const std::string& name, std::uint8_t type) {
        header(type, name);
        card32(0);
        return counted();
    }
    // Overwrites the count with one that need not be true.
    XSettingsBlob& count(std::uint32_t value) {
        m_count = value;
        put32(8, value);
        return *this;
    }
    XSettingsBlob& raw(const std::string& bytes) {
        m_bytes += bytes;
        return *this;
    }

    std::string bytes() const { return m_bytes; }
    std::size_t size() const { return m_bytes.size(); }

    // Encodings of one value, for writing lengths that lie.
    std::string card32Bytes(std::uint32_t value) const {
        std::string out;
        for (int i = 0; i < 4; ++i) {
            const int shift = m_msbFirst ? 24 - 8 * i : 8 * i;
            out.push_back(static_cast<char>(value >> shift & 0xFF));
        }
        return out;
    }

private:
    void header(std::uint8_t type, const std::string& name) {
        m_bytes.push_back(static_cast<char>(type));
        m_bytes.push_back('\0');
        card16(static_cast<std::uint16_t>(name.size()));
        m_bytes += name;
        pad(name.size());
        card32(7);  // the serial of its last change
    }
    XSettingsBlob& counted() { return count(m_count + 1); }
    void pad(std::size_t length) { m_bytes.append((4 - length % 4) % 4, '\0'); }
    void card16(std::uint16_t value) {
        if (m_msbFirst) {
            m_bytes.push_back(static_cast<char>(value >> 8));
            m_bytes.push_back(static_cast<char>(value & 0xFF));
        } else {
            m_bytes.push_back(static_cast<char>(value & 0xFF));
            m_bytes.push_back(static_cast<char>(value >> 8));
        }
    }
    void card32(std::uint32_t value) { m_bytes += card32Bytes(value); }
    void put32(std::size_t at, std::uint32_t value) { m_bytes.replace(at, 4, card32Bytes(value)); }

    bool m_msbFirst;
    std::uint32_t m_count = 0;
    std::string m_bytes;
};

}  // namespace testing_support
