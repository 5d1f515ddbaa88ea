#include "app/core/command_line.h"

#include <gtest/gtest.h>

namespace mrwd {
namespace {

using A = CommandAction;
using Actions = std::vector<CommandAction>;

TEST(CommandWord, IsACaseInsensitivePrefixTestAfterSlashOrDash) {
    EXPECT_TRUE(IsCommandWord("/srvx", "srv"));
    EXPECT_TRUE(IsCommandWord("-install", "i"));
    EXPECT_TRUE(IsCommandWord("/START", "s"));
    EXPECT_TRUE(IsCommandWord("-SRV", "srv"));
    EXPECT_FALSE(IsCommandWord("srv", "srv"));   // no switch character
    EXPECT_FALSE(IsCommandWord("+srv", "srv"));
    EXPECT_FALSE(IsCommandWord("/sr", "srv"));   // text ends inside the keyword
    EXPECT_FALSE(IsCommandWord("/", "a"));
    EXPECT_FALSE(IsCommandWord("", "a"));
}

TEST(CommandWalk, PrefixesSelectTheirSwitches) {
    EXPECT_EQ(WalkCommandLine("/srvx"), Actions{A::EnterServiceMode});
    EXPECT_EQ(WalkCommandLine("-install"), Actions{A::InstallService});
    EXPECT_EQ(WalkCommandLine("/START"), Actions{A::StartService});
    EXPECT_EQ(WalkCommandLine("/sXYZ"), Actions{A::StartService});
    EXPECT_EQ(WalkCommandLine("/A"), Actions{A::RunServer});
    EXPECT_EQ(WalkCommandLine("-a"), Actions{A::RunServer});
    EXPECT_EQ(WalkCommandLine("/kill"), Actions{A::UnloadRunning});
    EXPECT_EQ(WalkCommandLine("-remove"), Actions{A::RemoveService});
}

TEST(CommandWalk, SrvIsNeverTakenForS) {
    EXPECT_EQ(WalkCommandLine("/srv"), Actions{A::EnterServiceMode});
    EXPECT_EQ(WalkCommandLine("-SRV"), Actions{A::EnterServiceMode});
    // "/sr" is not "srv", so it is the start switch.
    EXPECT_EQ(WalkCommandLine("/sr"), Actions{A::StartService});
}

TEST(CommandWalk, OnlySrvAAndSEndTheWalk) {
    EXPECT_EQ(WalkCommandLine("-i -s"), (Actions{A::InstallService, A::StartService}));
    EXPECT_EQ(WalkCommandLine("-s -i"), Actions{A::StartService});
    EXPECT_EQ(WalkCommandLine("/i /r /k"), (Actions{A::InstallService, A::RemoveService, A::UnloadRunning}));
    EXPECT_EQ(WalkCommandLine("/k /a /i"), (Actions{A::UnloadRunning, A::RunServer}));
    EXPECT_EQ(WalkCommandLine("/k -srv /i"), (Actions{A::UnloadRunning, A::EnterServiceMode}));
}

TEST(CommandWalk, WordsWithoutSwitchCharacterAreSkipped) {
    EXPECT_TRUE(WalkCommandLine("hello").empty());
    EXPECT_TRUE(WalkCommandLine("install s k").empty());
    EXPECT_EQ(WalkCommandLine("hello /k world"), Actions{A::UnloadRunning});
    // The switch character must start the word: "x/k" is one word that is no switch.
    EXPECT_TRUE(WalkCommandLine("x/k").empty());
}

TEST(CommandWalk, BlanksOnlyAndEmptyGiveNoAction) {
    EXPECT_TRUE(WalkCommandLine("").empty());
    EXPECT_TRUE(WalkCommandLine("    ").empty());
    EXPECT_TRUE(WalkCommandLine("\t \t").empty());
    EXPECT_TRUE(WalkCommandLine(nullptr).empty());
}

TEST(CommandWalk, ControlAndHighBytesSeparateWords) {
    // Bytes 0x80..0xFF and control characters end a word like a blank does.
    EXPECT_EQ(WalkCommandLine("/i\xA0/k"), (Actions{A::InstallService, A::UnloadRunning}));
    EXPECT_EQ(WalkCommandLine("/i\x01/k"), (Actions{A::InstallService, A::UnloadRunning}));
    EXPECT_EQ(WalkCommandLine("\xFF/k\x7F"), Actions{A::UnloadRunning});
    // A high byte inside a word splits it: "/x" and "/a" are two words.
    EXPECT_EQ(WalkCommandLine("/x\xE9/a"), Actions{A::RunServer});
    // Byte 0x7F belongs to a word, so "/\x7Fk" is a word that is not "/k".
    EXPECT_TRUE(WalkCommandLine("/\x7Fk").empty());
}

TEST(CommandWalk, ServiceModeIsSelectedOnlyWhenTheWalkEndsAtSrv) {
    EXPECT_TRUE(SelectsServiceMode("-srv"));
    EXPECT_TRUE(SelectsServiceMode("/k /SRVX"));
    EXPECT_FALSE(SelectsServiceMode("/s -srv"));  // the walk already ended at "s"
    EXPECT_FALSE(SelectsServiceMode("/a -srv"));
    EXPECT_FALSE(SelectsServiceMode("srv"));
    EXPECT_FALSE(SelectsServiceMode(""));
}

TEST(CommandLineArguments, ProgramNameAndOneBlankAreDropped) {
    EXPECT_EQ(ArgumentsOf("mrwd.exe"), "");
    EXPECT_EQ(ArgumentsOf("mrwd.exe "), "");
    EXPECT_EQ(ArgumentsOf("mrwd.exe /k"), "/k");
    EXPECT_EQ(ArgumentsOf("\"C:\\Program Files\\mrwd.exe\" -srv"), "-srv");
    EXPECT_EQ(ArgumentsOf("\"C:\\a b\\mrwd.exe\""), "");
    // Blanks after the first one are arguments: such a command line is not empty.
    EXPECT_EQ(ArgumentsOf("mrwd.exe    "), "   ");
    EXPECT_EQ(ArgumentsOf("\"mrwd.exe\"\t\t"), "\t");
    EXPECT_EQ(ArgumentsOf("\"unterminated"), "");
    EXPECT_EQ(ArgumentsOf(""), "");
}

}  // namespace
}  // namespace mrwd
