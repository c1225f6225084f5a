// The manual page korvalis(6) as the build writes it: it lists exactly the options --help
// lists, every KORVALIS_ variable the game reads, and has the sections a reader looks for.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <string>

#include "app/command_line.h"
#include "app/game.h"
#include "support/text_file.h"

namespace {

std::string ReadPage() { return ReadTextFile(KORVALIS_BINARY_DIR "/packaging/korvalis.6"); }

// The roff text of section `name` (from ".SH NAME" to the next ".SH"), empty without it.
std::string Section(const std::string& page, const std::string& name) {
  const std::string head = ".SH " + name + "\n";
  const size_t start = page.find(head);
  if (start == std::string::npos) return "";
  const size_t end = page.find("\n.SH ", start + head.size());
  return page.substr(start + head.size(), end == std::string::npos ? std::string::npos : end - start);
}

// Every long option named in the text ("--level"; roff may write the dashes as "\-").
std::set<std::string> Options(std::string text) {
  text = std::regex_replace(text, std::regex(R"(\\-)"), "-");
  std::set<std::string> options;
  const std::regex option("--[a-z][a-z-]*");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), option); it != std::sregex_iterator(); ++it)
    options.insert(it->str());
  return options;
}

TEST(ManualPage, ListsTheOptionsOfHelpAndTheSectionsAReaderNeeds) {
  const std::string page = ReadPage();
  ASSERT_FALSE(page.empty()) << "the build wrote no packaging/korvalis.6";
  EXPECT_NE(page.find(".TH \"korvalis\" \"6\""), std::string::npos) << "not a section 6 page";

  const std::set<std::string> help = Options(UsageText());
  ASSERT_GE(help.size(), 6u);
  EXPECT_EQ(Options(Section(page, "OPTIONS")), help) << "OPTIONS and --help differ";
  EXPECT_EQ(Options(Section(page, "SYNOPSIS")), help) << "SYNOPSIS and --help differ";

  for (const char* name : {"NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "CONTROLS", "GAME DATA",
                           "EXIT STATUS", "ENVIRONMENT", "FILES"})
    EXPECT_FALSE(Section(page, name).empty()) << "no section " << name;
  // Every exit status the game gives is explained.
  const std::string status = Section(page, "EXIT STATUS");
  for (int code : {0, StartupFailureExit, UsageExit})
    EXPECT_NE(status.find("\\fB" + std::to_string(code) + "\\fR"), std::string::npos) << code;

  // Every "KORVALIS_..." variable named in the game's own code is explained.
  const std::string environment = Section(page, "ENVIRONMENT");
  const std::regex variable("\"(KORVALIS_[A-Z_]+)\"");
  int found = 0;
  for (const char* dir :
       {"app", "core", "platform", "render", "level", "models", "movers", "player", "combat", "bots"})
    for (const auto& file : std::filesystem::directory_iterator(std::string(KORVALIS_SOURCE_DIR "/") + dir)) {
      const std::string code = ReadTextFile(file.path());
      for (auto it = std::sregex_iterator(code.begin(), code.end(), variable); it != std::sregex_iterator();
           ++it, ++found)
        EXPECT_NE(environment.find("\\fB" + (*it)[1].str() + "\\fR"), std::string::npos)
            << (*it)[1] << " (read in " << file.path().filename() << ") is not under ENVIRONMENT";
    }
  EXPECT_GE(found, 4);
}

}  // namespace
