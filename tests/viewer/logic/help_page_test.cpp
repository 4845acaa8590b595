// The help page's key table against the main window's accelerator table in
// resources/vx.rc: every key is listed, nothing else is, and the keys of one
// row are the keys of one command. A key added to the table without a row in
// the page, or moved to another command, fails here.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string ReadSource(const std::string& relative) {
    std::ifstream in(std::string(VX_SOURCE_DIR) + "/" + relative, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The page's name of a virtual key, as the menus show them.
const std::map<std::string, std::string> kKeyNames = {
    {"VK_F1", "F1"},          {"VK_F2", "F2"},       {"VK_F3", "F3"},
    {"VK_F4", "F4"},          {"VK_F5", "F5"},       {"VK_F6", "F6"},
    {"VK_F7", "F7"},          {"VK_F8", "F8"},       {"VK_F9", "F9"},
    {"VK_F10", "F10"},        {"VK_F11", "F11"},     {"VK_F12", "F12"},
    {"VK_NEXT", "PgDn"},      {"VK_PRIOR", "PgUp"},  {"VK_HOME", "Home"},
    {"VK_END", "End"},        {"VK_INSERT", "Ins"},  {"VK_DELETE", "Del"},
    {"VK_MULTIPLY", "Num *"}, {"VK_ADD", "Num +"},   {"VK_SUBTRACT", "Num -"},
    {"VK_NUMPAD0", "Num 0"},  {"VK_SPACE", "Space"}, {"VK_APPS", "Apps"},
    {"VK_RETURN", "Enter"},   {"VK_UP", "Up"},       {"VK_DOWN", "Down"},
    {"VK_LEFT", "Left"},      {"VK_RIGHT", "Right"}, {"VK_ESCAPE", "Esc"},
    {"VK_BACK", "Backspace"},
};

// Key name ("Ctrl+O") to command name ("CMD_OPEN_IMAGE") of the "Vx"
// accelerator table.
std::map<std::string, std::string> Accelerators() {
    std::map<std::string, std::string> keys;
    std::istringstream rc(ReadSource("resources/vx.rc"));
    std::string line;
    while (std::getline(rc, line) && Trim(line) != "Vx ACCELERATORS") {}
    std::getline(rc, line);
    EXPECT_EQ(Trim(line), "BEGIN") << "no accelerator table \"Vx\" in resources/vx.rc";
    while (std::getline(rc, line) && Trim(line) != "END") {
        line = Trim(line);
        if (line.empty() || line.starts_with("//")) continue;
        std::vector<std::string> fields;
        std::istringstream parts(line);
        for (std::string field; std::getline(parts, field, ',');)
            fields.push_back(Trim(field));
        if (fields.size() < 3) {
            ADD_FAILURE() << "accelerator line not understood: " << line;
            continue;
        }
        std::string key;
        if (fields[0].size() == 3 && fields[0].front() == '"') {
            key = fields[0].substr(1, 1);
        } else if (const auto name = kKeyNames.find(fields[0]); name != kKeyNames.end()) {
            key = name->second;
        } else {
            ADD_FAILURE() << "no name for the key " << fields[0] << ": give it one here";
            continue;
        }
        std::string prefix;
        for (const char* modifier : {"CONTROL", "SHIFT", "ALT"})
            for (size_t i = 3; i < fields.size(); ++i)
                if (fields[i] == modifier)
                    prefix += modifier[0] == 'C' ? "Ctrl+" : modifier[0] == 'S' ? "Shift+" : "Alt+";
        const auto [where, added] = keys.emplace(prefix + key, fields[1]);
        EXPECT_TRUE(added) << prefix + key << " is in the table twice";
    }
    return keys;
}

// The rows of the page's table "keys": the <kbd> texts of each row's first
// cell.
std::vector<std::vector<std::string>> PageRows() {
    const std::string page = ReadSource("resources/help/Vx.htm");
    const size_t start = page.find("<table id=\"keys\">");
    EXPECT_NE(start, std::string::npos) << "no <table id=\"keys\"> in the help page";
    if (start == std::string::npos) return {};
    const std::string table = page.substr(start, page.find("</table>", start) - start);
    std::vector<std::vector<std::string>> rows;
    for (size_t row = table.find("<tr>"); row != std::string::npos;
         row = table.find("<tr>", row + 1)) {
        const std::string line = table.substr(row, table.find("</tr>", row) - row);
        const size_t cellEnd = line.find("</td>");
        if (cellEnd == std::string::npos) continue; // the heading
        const std::string cell = line.substr(0, cellEnd);
        std::vector<std::string> keys;
        for (size_t k = cell.find("<kbd>"); k != std::string::npos; k = cell.find("<kbd>", k + 1))
            keys.push_back(cell.substr(k + 5, cell.find("</kbd>", k) - k - 5));
        if (!keys.empty()) rows.push_back(keys);
    }
    return rows;
}

TEST(HelpPage, ListsEveryAcceleratorWithTheOtherKeysOfItsCommand) {
    const std::map<std::string, std::string> accelerators = Accelerators();
    ASSERT_EQ(accelerators.count("F1"), 1u) << "the accelerator table was not read";
    EXPECT_EQ(accelerators.at("F1"), "CMD_HELP");

    std::set<std::string> listed;
    for (const std::vector<std::string>& row : PageRows()) {
        std::set<std::string> commands;
        for (const std::string& key : row) {
            EXPECT_TRUE(listed.insert(key).second) << key << " is in the help page twice";
            const auto accelerator = accelerators.find(key);
            if (accelerator == accelerators.end())
                ADD_FAILURE() << "the help page lists " << key << ", which is no accelerator";
            else
                commands.insert(accelerator->second);
        }
        EXPECT_LE(commands.size(), 1u)
            << "one row of the help page holds keys of several commands, "
            << "beginning with " << row.front();
        // The other keys of the row's command belong in the same row.
        if (commands.size() != 1) continue;
        for (const auto& [key, command] : accelerators) {
            if (command != *commands.begin()) continue;
            EXPECT_NE(std::find(row.begin(), row.end(), key), row.end())
                << key << " (" << command << ") belongs in the help page's row of " << row.front();
        }
    }
    for (const auto& [key, command] : accelerators)
        EXPECT_EQ(listed.count(key), 1u)
            << key << " (" << command << ") is missing from the help page's key table";
}

} // namespace
