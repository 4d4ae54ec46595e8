// The JSON lines of --json and the text mode of the same output.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "captured_stream.h"
#include "console_output.h"
#include "json_writer.h"

TEST(Json, StringsAreEscaped) {
    EXPECT_EQ(JsonString("a\"b\\c\nd\x01"), "\"a\\\"b\\\\c\\nd\\u0001\"");
    EXPECT_EQ(JsonString("Zürich"), "\"Zürich\"");
    // A Windows path as it comes: backslashes, a quote, a tab and a name in another script.
    EXPECT_EQ(JsonString("C:\\ファーム\\a\"b\tü.fwu"), "\"C:\\\\ファーム\\\\a\\\"b\\tü.fwu\"");
}

TEST(Json, ObjectKeepsTheOrderOfItsFields) {
    const std::string line = JsonObject()
                                 .Add("phase", "write")
                                 .Add("percent", 45)
                                 .Add("seconds", 1.5)
                                 .AddBool("closed", false)
                                 .AddNull("version_after")
                                 .AddRaw("addresses", "[\"0x50\"]")
                                 .Line();
    EXPECT_EQ(line,
              "{\"phase\":\"write\",\"percent\":45,\"seconds\":1.500,\"closed\":false,\"version_after\":null,"
              "\"addresses\":[\"0x50\"]}\n");
}

TEST(ConsoleOutput, JsonEventsAndTheResultLine) {
    Captured out, err;
    ConsoleOutput output(true, out.file(), err.file());
    output.Event("phase", JsonObject().Add("phase", "erase"));
    output.Note("not in JSON mode");
    output.Print("nor this");
    EXPECT_EQ(output.Finish(5, JsonObject().Add("version_before", "1.04"), "Firmware was not updated properly."), 5);
    EXPECT_EQ(out.text(),
              "{\"event\":\"phase\",\"phase\":\"erase\"}\n"
              "{\"event\":\"result\",\"exit_code\":5,\"error\":\"Firmware was not updated properly.\","
              "\"version_before\":\"1.04\"}\n");
    EXPECT_EQ(err.text(), "");
}

TEST(ConsoleOutput, ResultWithoutFields) {
    Captured out, err;
    ConsoleOutput output(true, out.file(), err.file());
    output.Finish(0, JsonObject());
    EXPECT_EQ(out.text(), "{\"event\":\"result\",\"exit_code\":0}\n");
}

TEST(ConsoleOutput, TextModePrintsResultsOnStdoutAndFailuresOnStderr) {
    Captured out, err;
    ConsoleOutput output(false, out.file(), err.file());
    output.Event("phase", JsonObject().Add("phase", "erase"));
    output.Print("DE AD");
    output.Note("erase ...");
    EXPECT_EQ(output.Finish(3, JsonObject().Add("x", 1), "no converter found"), 3);
    EXPECT_EQ(out.text(), "DE AD\n");
    EXPECT_EQ(err.text(), "erase ...\nbrg40: no converter found\n");
}

TEST(ConsoleOutput, AnOutputWithoutStreamsSaysNothing) {
    ConsoleOutput quiet(false, nullptr, nullptr);
    quiet.Note("n");
    quiet.Print("p");
    EXPECT_EQ(quiet.Finish(3, JsonObject(), "no converter found"), 3);
    ConsoleOutput quietJson(true, nullptr, nullptr);
    quietJson.Event("phase", JsonObject());
    EXPECT_EQ(quietJson.Finish(1, JsonObject(), "x"), 1);
}

TEST(ConsoleOutput, AUnitAmongSeveralIsNamedInEveryLineAndEndsWithItsOwnResult) {
    const JsonObject identity = JsonObject().Add("serial", "A1").Add("path", "1-3");
    Captured out, err;
    ConsoleOutput json(true, out.file(), err.file());
    ConsoleOutput unit = json.ForUnit(identity, "A1");
    unit.Event("phase", JsonObject().Add("phase", "write"));
    EXPECT_EQ(unit.Finish(1, JsonObject().Add("path", "1-3").Add("exchanges", 40L), "Fail to write"), 1);
    EXPECT_EQ(out.text(),
              "{\"event\":\"phase\",\"phase\":\"write\",\"serial\":\"A1\",\"path\":\"1-3\"}\n"
              "{\"event\":\"unit_result\",\"exit_code\":1,\"error\":\"Fail to write\",\"serial\":\"A1\","
              "\"path\":\"1-3\",\"exchanges\":40}\n");
    EXPECT_EQ(unit.Result().Text(),
              "{\"exit_code\":1,\"error\":\"Fail to write\",\"serial\":\"A1\",\"path\":\"1-3\",\"exchanges\":40}");

    Captured textOut, textErr;
    std::string live;
    ConsoleOutput text(false, textOut.file(), textErr.file());
    ConsoleOutput plain = text.ForUnit(identity, "A1");
    plain.Note("erase ...");
    plain.Finish(5, JsonObject(), "mismatch");
    EXPECT_EQ(textErr.text(), "A1: erase ...\nA1: mismatch\n");
    ConsoleOutput viewed = text.ForUnit(identity, "A1", [&live](const std::string& line) { live += line + "|"; });
    viewed.Print("updated");
    EXPECT_EQ(live, "A1: updated|");
    EXPECT_EQ(textOut.text(), "");
}
