#pragma once

#include "base/status.h"

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace veltrane {

// The key both cipher instances of the program use for the stored passwords.
inline constexpr std::string_view PasswordKey = "lerk";

// A stored text that is not a run of hexadecimal pairs: "'$G1' is not a valid integer value".
class CipherConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Enciphers the mailbox passwords for the settings store. The enciphered form of n bytes is 2 + 2n
// upper-case hexadecimal digits: a random seed, then one pair per byte, each chained to the one
// before it, so saving the same password twice gives two different texts. Pairs are read back in
// either case.
//
// Callers set the input and the action, call Execute and read the output.
class TextCipher {
public:
    enum TActionType { atEncryption = 0, atDecryption = 1 };

    explicit TextCipher(std::string key = {}) : key_(std::move(key)) {}

    const std::string& Input() const { return input_; }
    void setInput(std::string text) { input_ = std::move(text); }
    const std::string& Output() const { return output_; }
    void setOutput(std::string text) { output_ = std::move(text); }
    const std::string& Key() const { return key_; }
    void setKey(std::string key) { key_ = std::move(key); }
    TActionType Action() const { return action_; }
    void setAction(TActionType action) { action_ = action; }

    // An empty input gives an empty output. A text that cannot be deciphered leaves the output as it
    // was and gives the conversion error.
    Status Execute();

    // Where the seeds of encryption come from (0 to 255); the system's random generator unless
    // a test puts in its own.
    void setSeedSource(std::function<int()> source) { seedSource_ = std::move(source); }

    // Throws CipherConversionError when deciphering a text that is not hexadecimal pairs or has
    // fewer than three characters.
    static std::string CipherText(std::string_view text, std::string_view key, bool encrypt);

    static std::string encipher(std::string_view text, std::string_view key, int seed);
    static std::string decipher(std::string_view text, std::string_view key);

private:
    std::string input_;
    std::string output_;
    std::string key_;
    TActionType action_ = atEncryption;
    std::function<int()> seedSource_;
};

} // namespace veltrane
