#include "settings/textcipher.h"

#include <QRandomGenerator>

namespace veltrane {

namespace {

const char HexDigits[] = "0123456789ABCDEF";

// The key byte for the j-th byte of the text (j from 1).
unsigned keyByte(std::string_view key, size_t j) {
    if (key.empty())
        return 0;
    return static_cast<unsigned char>(key[(j - 1) % key.size()]);
}

void appendHex(std::string& out, unsigned value) {
    out += HexDigits[(value >> 4) & 0xF];
    out += HexDigits[value & 0xF];
}

// The value of up to two hexadecimal digits, read as the conversion of "$" + pair does.
unsigned pairValue(std::string_view pair) {
    unsigned value = 0;
    bool valid = !pair.empty();
    for (char c : pair) {
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else {
            valid = false;
            break;
        }
        value = value * 16 + digit;
    }
    if (!valid)
        throw CipherConversionError("'$" + std::string(pair) + "' is not a valid integer value");
    return value;
}

} // namespace

std::string TextCipher::encipher(std::string_view text, std::string_view key, int seed) {
    std::string out;
    out.reserve(2 + 2 * text.size());
    unsigned prev = static_cast<unsigned>(seed) & 0xFF;
    appendHex(out, prev);
    for (size_t j = 1; j <= text.size(); ++j) {
        const unsigned b = static_cast<unsigned char>(text[j - 1]);
        // The modulus is 255, not 256: stored texts depend on it.
        const unsigned code = ((prev + b) % 255) ^ keyByte(key, j);
        appendHex(out, code);
        prev = code;
    }
    return out;
}

std::string TextCipher::decipher(std::string_view text, std::string_view key) {
    std::string out;
    unsigned prev = pairValue(text.substr(0, 2));
    size_t pos = 2; // 0-based start of the next pair
    size_t j = 1;
    // The first pair is always read, so a text of two characters or less fails; a single
    // character after complete pairs is left over.
    do {
        const unsigned code = pairValue(text.substr(std::min(pos, text.size()), 2));
        const unsigned d = code ^ keyByte(key, j);
        const unsigned plain = prev < d ? d - prev : d - prev + 255;
        out += static_cast<char>(plain & 0xFF);
        prev = code;
        pos += 2;
        ++j;
    } while (pos + 1 < text.size());
    return out;
}

std::string TextCipher::CipherText(std::string_view text, std::string_view key, bool encrypt) {
    if (encrypt)
        return encipher(text, key, QRandomGenerator::global()->bounded(256));
    return decipher(text, key);
}

Status TextCipher::Execute() {
    if (input_.empty()) {
        output_.clear();
        return Status::success();
    }
    try {
        if (action_ == atEncryption)
            output_ = encipher(input_, key_, seedSource_ ? seedSource_() : QRandomGenerator::global()->bounded(256));
        else
            output_ = decipher(input_, key_);
    } catch (const CipherConversionError& error) {
        return Status::failure(error.what());
    }
    return Status::success();
}

} // namespace veltrane
