#include <gtest/gtest.h>

#include "client/Multipart.h"

using namespace client;

TEST(Multipart, TextFieldsAndClosingDelimiter) {
    MultipartBuilder body;
    body.Field("selectItem", std::string("[USB5]/movies/a%2520b.avi")).Field("Pause", std::string("Pause"));
    EXPECT_EQ(
        "--/////////////////\r\nContent-Disposition: form-data; name=\"selectItem\"\r\n\r\n"
        "[USB5]/movies/a%2520b.avi\r\n"
        "--/////////////////\r\nContent-Disposition: form-data; name=\"Pause\"\r\n\r\nPause\r\n"
        "--/////////////////--",
        body.Finish());
}

TEST(Multipart, IntegerFieldsAreDecimal) {
    MultipartBuilder body;
    body.Field("btItemPriority", -1);
    EXPECT_EQ(
        "--/////////////////\r\nContent-Disposition: form-data; name=\"btItemPriority\"\r\n\r\n-1\r\n"
        "--/////////////////--",
        body.Finish());
}

TEST(Multipart, FilePartHeadAndTail) {
    MultipartBuilder builder;
    builder.Field("torrentType", 1).FileHeader("file");
    std::string head = builder.Text();
    EXPECT_NE(std::string::npos,
              head.find("--/////////////////\r\nContent-Disposition: form-data; name=\"file\"; filename=\"\"\r\n"
                        "Content-Type: application/octet-stream\r\n\r\n"));
    EXPECT_EQ('\n', head.back());
    builder.ContinueAfterFile().Field("savePath", std::string("[HDD1]"));
    std::string tail = builder.Finish();
    EXPECT_EQ(
        "\r\n--/////////////////\r\nContent-Disposition: form-data; name=\"savePath\"\r\n\r\n[HDD1]\r\n"
        "--/////////////////--",
        tail);
}
