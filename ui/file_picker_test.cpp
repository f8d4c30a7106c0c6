#include "ui/file_picker.h"

#include <gtest/gtest.h>

#include <map>

namespace qef {
namespace {

// Folders of a made-up disk: a name ending in "/" is a sub-folder.
const std::map<std::string, std::vector<std::string>> kDisk = {
    {"/", {"work/"}},
    {"/work", {"b.AEF", "a.mef", "notes.txt", "old.fix", "sub/", "C.AEF"}},
    {"/work/sub", {"deep.AEF"}},
};

std::optional<std::vector<PickerEntry>> FakeLister(const std::string& folder) {
  auto found = kDisk.find(folder);
  if (found == kDisk.end()) return std::nullopt;
  std::vector<PickerEntry> entries;
  for (std::string name : found->second) {
    bool folder_entry = name.back() == '/';
    if (folder_entry) name.pop_back();
    entries.push_back({name, folder_entry});
  }
  return entries;
}

OpenDialogRequest ExportFilesRequest(uint32_t options = OFN_ALLOWMULTISELECT | OFN_HIDEREADONLY) {
  OpenDialogRequest request;
  request.caption = "Select Export Files to fix";
  request.initial_file_name = "*.AEF;*.MEF";
  request.options = options;
  request.patterns = {"*.AEF;*.MEF", "*.*"};
  request.descriptions = {"Export Files", "All files"};
  request.filter_index = 1;
  return request;
}

std::vector<std::string> Names(const FilePicker& picker) {
  std::vector<std::string> names;
  for (const auto& entry : picker.entries())
    names.push_back(entry.name + (entry.is_directory ? "/" : ""));
  return names;
}

Key K(Key::Code code) { return {code, 0}; }
Key C(char ch) { return {Key::kChar, ch}; }

TEST(FilePickerTest, ShowsFoldersThenMatchingFilesWithoutRegardToCase) {
  FilePicker picker(ExportFilesRequest(), "/work", FakeLister);
  EXPECT_EQ(Names(picker), (std::vector<std::string>{"../", "sub/", "a.mef", "b.AEF", "C.AEF"}));
  EXPECT_EQ(picker.field(), "*.AEF;*.MEF");
  EXPECT_EQ(picker.filter(), 0u);
  picker.HandleKey(K(Key::kTab));
  EXPECT_EQ(Names(picker), (std::vector<std::string>{"../", "sub/", "a.mef", "b.AEF", "C.AEF",
                                                     "notes.txt", "old.fix"}));
  EXPECT_EQ(picker.pattern(), "*.*");
}

TEST(FilePickerTest, ChoosesSeveralFilesInTheOrderChosen) {
  FilePicker picker(ExportFilesRequest(), "/work", FakeLister);
  picker.HandleKey(K(Key::kEnd));  // C.AEF, the last entry: the cursor stays there
  picker.HandleKey(C(' '));
  picker.HandleKey(K(Key::kUp));  // b.AEF
  picker.HandleKey(C(' '));       // chosen; the cursor moves on to C.AEF
  picker.HandleKey(K(Key::kHome));
  picker.HandleKey(K(Key::kDown));
  picker.HandleKey(K(Key::kDown));  // a.mef
  picker.HandleKey(C(' '));
  EXPECT_EQ(picker.HandleKey(K(Key::kEnter)), FilePicker::State::kConfirmed);
  EXPECT_EQ(picker.chosen(),
            (std::vector<std::string>{"/work/C.AEF", "/work/b.AEF", "/work/a.mef"}));
}

TEST(FilePickerTest, SpaceAgainDropsAFileAndOneFileNeedsNoSpace) {
  FilePicker picker(ExportFilesRequest(), "/work", FakeLister);
  picker.HandleKey(K(Key::kEnd));
  picker.HandleKey(C(' '));
  picker.HandleKey(C(' '));  // the cursor stayed on the last entry: dropped again
  EXPECT_TRUE(picker.chosen().empty());
  EXPECT_EQ(picker.HandleKey(K(Key::kEnter)), FilePicker::State::kConfirmed);
  EXPECT_EQ(picker.chosen(), std::vector<std::string>{"/work/C.AEF"});
}

TEST(FilePickerTest, WithoutMultipleSelectionOnlyTheLastChoiceCounts) {
  FilePicker picker(ExportFilesRequest(OFN_HIDEREADONLY), "/work", FakeLister);
  picker.HandleKey(K(Key::kEnd));
  picker.HandleKey(C(' '));
  picker.HandleKey(K(Key::kUp));
  picker.HandleKey(C(' '));
  EXPECT_EQ(picker.chosen(), std::vector<std::string>{"/work/b.AEF"});
}

TEST(FilePickerTest, MovesBetweenFolders) {
  FilePicker picker(ExportFilesRequest(), "/work", FakeLister);
  picker.HandleKey(K(Key::kDown));  // sub/
  EXPECT_EQ(picker.HandleKey(K(Key::kEnter)), FilePicker::State::kOpen);
  EXPECT_EQ(picker.folder(), "/work/sub");
  EXPECT_EQ(Names(picker), (std::vector<std::string>{"../", "deep.AEF"}));
  picker.HandleKey(K(Key::kBackspace));
  EXPECT_EQ(picker.folder(), "/work");
  picker.HandleKey(K(Key::kLeft));
  EXPECT_EQ(picker.folder(), "/");
  EXPECT_EQ(Names(picker), std::vector<std::string>{"work/"});
}

TEST(FilePickerTest, TheFileNameFieldTakesAPatternAFolderOrAFile) {
  FilePicker picker(ExportFilesRequest(), "/work", FakeLister);
  auto type = [&picker](const std::string& text) {
    picker.HandleKey(C('/'));
    for (char c : text) picker.HandleKey(C(c));
    return picker.HandleKey(K(Key::kEnter));
  };
  EXPECT_EQ(type("*.txt"), FilePicker::State::kOpen);
  EXPECT_EQ(Names(picker), (std::vector<std::string>{"../", "sub/", "notes.txt"}));
  EXPECT_EQ(type("sub"), FilePicker::State::kOpen);
  EXPECT_EQ(picker.folder(), "/work/sub");
  EXPECT_EQ(type("../b.AEF"), FilePicker::State::kConfirmed);
  EXPECT_EQ(picker.chosen(), std::vector<std::string>{"/work/b.AEF"});
}

TEST(FilePickerTest, EscapeAndInterruptCancel) {
  for (Key key : {K(Key::kEscape), K(Key::kInterrupt), C('q')}) {
    FilePicker picker(ExportFilesRequest(), "/work", FakeLister);
    EXPECT_EQ(picker.HandleKey(key), FilePicker::State::kCancelled);
  }
  FilePicker editing(ExportFilesRequest(), "/work", FakeLister);
  editing.HandleKey(C('/'));
  EXPECT_EQ(editing.HandleKey(K(Key::kEscape)), FilePicker::State::kOpen) << "leaves the field";
  EXPECT_FALSE(editing.editing());
}

TEST(FilePickerTest, ConfirmingAnEmptyListSaysWhy) {
  FilePicker picker(ExportFilesRequest(), "/", FakeLister);
  picker.HandleKey(C('/'));
  for (char c : std::string("*.xyz")) picker.HandleKey(C(c));
  picker.HandleKey(K(Key::kEnter));
  picker.HandleKey(K(Key::kEnd));
  EXPECT_EQ(picker.entries().size(), 1u);                                 // only the folder
  EXPECT_EQ(picker.HandleKey(K(Key::kEnter)), FilePicker::State::kOpen);  // opens /work
  EXPECT_EQ(picker.folder(), "/work");
}

TEST(FilePickerTest, ResolvesPathsByText) {
  EXPECT_EQ(ResolvePath("/work", "a/../b.AEF"), "/work/b.AEF");
  EXPECT_EQ(ResolvePath("/work", "/x/./y"), "/x/y");
  EXPECT_EQ(ParentFolder("/work/sub"), "/work");
  EXPECT_EQ(ParentFolder("/work"), "/");
  EXPECT_EQ(ParentFolder("/"), "/");
}

}  // namespace
}  // namespace qef
