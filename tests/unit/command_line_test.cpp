#include <gtest/gtest.h>

#include <vector>

#include "app/command_line.h"
#include "resources/resource.h"

namespace {

struct WordsCase {
    std::vector<const wchar_t*> words;
    UINT command;
};

TEST(CommandFromWords, LastRecognisedWordOnFourCharactersWins) {
    const WordsCase cases[] = {
        {{}, IDM_SETTINGS},
        {{L"launcher"}, IDM_SHOW_LAUNCHER},
        {{L"LAUNCH"}, IDM_SHOW_LAUNCHER},
        {{L"Laun"}, IDM_SHOW_LAUNCHER},
        {{L"LAUNCHER"}, IDM_SHOW_LAUNCHER},
        {{L"lau"}, IDM_SETTINGS},
        {{L"la"}, IDM_SETTINGS},
        {{L""}, IDM_SETTINGS},
        {{L"menu"}, IDM_SHOW_MENU},
        {{L"menus"}, IDM_SHOW_MENU},
        {{L"MENU"}, IDM_SHOW_MENU},
        {{L"men"}, IDM_SETTINGS},
        {{L"launcher", L"menu"}, IDM_SHOW_MENU},
        {{L"menu", L"launcher"}, IDM_SHOW_LAUNCHER},
        {{L"menu", L"xyz"}, IDM_SHOW_MENU},
        {{L"pause"}, IDM_PAUSE},
        {{L"PAUSED"}, IDM_PAUSE},
        {{L"paus"}, IDM_PAUSE},
        {{L"pau"}, IDM_SETTINGS},
        {{L"pause", L"menu"}, IDM_SHOW_MENU},
        {{L"launcher", L"Pause"}, IDM_PAUSE},
        {{L"xyz"}, IDM_SETTINGS},
        // Only ASCII letters fold: a full-width "ｍｅｎｕ" is not the word.
        {{L"\xff4d\xff45\xff4e\xff55"}, IDM_SETTINGS},
        {{L"exit"}, IDM_SETTINGS},
        {{L"about"}, IDM_SETTINGS},
    };
    for (const auto& c : cases) {
        std::vector<const wchar_t*> argv{L"Tessaly.exe"};
        argv.insert(argv.end(), c.words.begin(), c.words.end());
        EXPECT_EQ(c.command, CommandFromWords(static_cast<int>(argv.size()), argv.data()))
            << "words: " << c.words.size() << " first: "
            << (c.words.empty() ? "" : testing::PrintToString(std::wstring(c.words[0])));
    }
}

TEST(CommandFromWords, ProgramPathIsNotAWord) {
    const wchar_t* argv[] = {L"menu"};
    EXPECT_EQ(static_cast<UINT>(IDM_SETTINGS), CommandFromWords(1, argv));
}

}  // namespace
