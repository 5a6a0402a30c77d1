#include "settings/textcipher.h"

#include <gtest/gtest.h>
#include <set>

namespace veltrane {
namespace {

TEST(TextCipherTest, KnownVectors) {
    // key "lerk" = 6C 65 72 6B; code = ((prev + byte) mod 255) xor key byte.
    EXPECT_EQ(TextCipher::encipher("a", PasswordKey, 0x00), "000D");    // (0+61) ^ 6C
    EXPECT_EQ(TextCipher::encipher("ab", PasswordKey, 0x00), "000D0A"); // (0D+62) ^ 65
    // The sum wraps at 255, not 256: (FF + 01) mod 255 = 01; 01 ^ 6C = 6D.
    EXPECT_EQ(TextCipher::encipher("\x01", PasswordKey, 0xFF), "FF6D");
    // The key repeats from its first byte on the fifth byte.
    EXPECT_EQ(TextCipher::decipher(TextCipher::encipher("abcdef", PasswordKey, 0x9C), PasswordKey), "abcdef");
}

TEST(TextCipherTest, LengthsAndDigits) {
    for (const std::string& password : {std::string("x"), std::string("secret"), std::string(40, 'q')}) {
        const std::string text = TextCipher::CipherText(password, PasswordKey, true);
        EXPECT_EQ(text.size(), 2 + 2 * password.size());
        EXPECT_EQ(text.find_first_not_of("0123456789ABCDEF"), std::string::npos) << text;
    }
}

TEST(TextCipherTest, EveryEncryptionDrawsAFreshSeedAndAllDecipher) {
    TextCipher cipher{std::string(PasswordKey)};
    std::set<std::string> texts;
    for (int i = 0; i < 8; ++i) {
        cipher.setInput("pass word");
        cipher.setAction(TextCipher::atEncryption);
        ASSERT_TRUE(cipher.Execute().ok());
        texts.insert(cipher.Output());
    }
    EXPECT_GT(texts.size(), 1u); // eight equal draws out of 256 would be a broken generator
    for (const std::string& text : texts) {
        cipher.setInput(text);
        cipher.setAction(TextCipher::atDecryption);
        ASSERT_TRUE(cipher.Execute().ok());
        EXPECT_EQ(cipher.Output(), "pass word");
    }
}

TEST(TextCipherTest, PairsAreReadInEitherCase) {
    EXPECT_EQ(TextCipher::decipher("000d0A", PasswordKey), "ab");
    // A single character after the pairs is left over; one alone after the seed is read.
    EXPECT_EQ(TextCipher::decipher("000D0A7", PasswordKey), "ab");
    EXPECT_EQ(TextCipher::decipher("00D", PasswordKey), TextCipher::decipher("000D", PasswordKey));
}

TEST(TextCipherTest, BytesOneTo254SurviveWithEverySeed) {
    std::string all;
    for (int b = 1; b <= 254; ++b)
        all += static_cast<char>(b);
    for (int seed = 0; seed < 256; ++seed)
        ASSERT_EQ(TextCipher::decipher(TextCipher::encipher(all, PasswordKey, seed), PasswordKey), all) << seed;
}

TEST(TextCipherTest, TextsThatAreNoPairsGiveTheConversionError) {
    struct {
        const char* text;
        const char* error;
    } const cases[] = {
        {"0D", "'$' is not a valid integer value"},       {"7", "'$' is not a valid integer value"},
        {"000DG1", "'$G1' is not a valid integer value"}, {"zz0D", "'$zz' is not a valid integer value"},
        {"00 D", "'$ D' is not a valid integer value"},
    };
    TextCipher cipher{std::string(PasswordKey)};
    for (const auto& c : cases) {
        cipher.setOutput("before");
        cipher.setInput(c.text);
        cipher.setAction(TextCipher::atDecryption);
        const Status status = cipher.Execute();
        EXPECT_EQ(status.error(), c.error) << c.text;
        EXPECT_EQ(cipher.Output(), "before");
    }
}

TEST(TextCipherTest, AnEmptyInputGivesAnEmptyOutputEitherWay) {
    TextCipher cipher{std::string(PasswordKey)};
    for (auto action : {TextCipher::atEncryption, TextCipher::atDecryption}) {
        cipher.setOutput("stale");
        cipher.setInput("");
        cipher.setAction(action);
        ASSERT_TRUE(cipher.Execute().ok());
        EXPECT_EQ(cipher.Output(), "");
    }
}

TEST(TextCipherTest, AnInjectedSeedSourceIsUsed) {
    TextCipher cipher{std::string(PasswordKey)};
    cipher.setSeedSource([] { return 0; });
    cipher.setInput("ab");
    ASSERT_TRUE(cipher.Execute().ok());
    EXPECT_EQ(cipher.Output(), "000D0A");
}

} // namespace
} // namespace veltrane
