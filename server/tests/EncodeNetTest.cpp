#include "common/Exception.h"
#include "server/http/HTTPDecoders.h"

#include <gtest/gtest.h>

TEST(URLDecode, PlusAndPercentEscapes)
{
    EXPECT_EQ(URLDecode("a+b%21"), "a b!");
    EXPECT_EQ(URLDecode("%41%42"), "AB");
    EXPECT_EQ(URLDecode("%e9"), "\xE9");
    EXPECT_EQ(URLDecode("x%00y"), "xy"); // code 0 is dropped
    EXPECT_EQ(URLDecode("x%zzy"), "xy"); // not hexadecimal: dropped with its two characters
    EXPECT_EQ(URLDecode("x%"), "x"); // a final "%" is dropped
    EXPECT_EQ(URLDecode("x%4"), "x\x04"); // fewer digits at the end
    EXPECT_EQ(URLDecode("%%41"), "1"); // "%4" is not an escape after the first "%"
    EXPECT_EQ(URLDecode("%-1z"), "z");
}

TEST(Base64Decode, GroupsPaddingAndTheLengthLimit)
{
    EXPECT_EQ(TNetDecoder::Decode("dXNlcjpwYXNz"), "user:pass");
    EXPECT_EQ(TNetDecoder::Decode("YQ=="), "a");
    EXPECT_EQ(TNetDecoder::Decode("YWI="), "ab");
    EXPECT_EQ(TNetDecoder::Decode("YWJjYQ"), "abc"); // the incomplete group is ignored
    EXPECT_EQ(TNetDecoder::Decode(""), "");
    std::string many;
    for (int i = 0; i < 100; ++i)
        many += "YWJj";
    EXPECT_EQ(TNetDecoder::Decode(many).size(), TNetDecoder::kMaxDecoded);
}

TEST(Base64Decode, CharactersOutsideTheAlphabetCountAsZero)
{
    EXPECT_EQ(TNetDecoder::Decode(std::string("\x80\xff\0*", 4)), std::string(3, '\0'));
    EXPECT_EQ(TNetDecoder::Decode("Y\xC3Q="), TNetDecoder::Decode("YAQ="));
}

TEST(Base64Decode, UnitsNeedExactlyFourCharacters)
{
    try {
        TNetDecoder::DecodeUnit("abc");
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "DecodeUnit length error.");
    }
    EXPECT_EQ(TNetDecoder::DecodeUnit("TWFu"), "Man");
}
