#pragma once
// The texts of the shell dialogs, by their numbers in the string tables; they follow
// the language the shell controls were given.
#include <string>

namespace mv {

constexpr int dtOpenCaption = 730, dtOpenButton = 731, dtSaveCaption = 732, dtSaveButton = 733, dtLookIn = 734,
              dtFilesOfType = 735, dtCancel = 736, dtHelp = 737, dtUpOneLevel = 738, dtCreateNewFolder = 739,
              dtListHint = 740, dtListHintLong = 741, dtDetailsHint = 742, dtDetailsHintLong = 743,
              dtReadOnly = 744, dtFileName = 745, dtShowTree = 746, dtView = 747, dtViewHint = 748,
              dtLargeIcons = 749, dtLargeIconsHint = 750, dtSmallIcons = 751, dtSmallIconsHint = 752,
              dtList = 753, dtDetails = 754, dtPaste = 755, dtPasteHint = 756, dtNew = 757, dtNewHint = 758,
              dtFolder = 759, dtFolderHint = 760, dtProperties = 761, dtPropertiesHint = 762,
              dtInvalidName = 763, dtSeveralFiles = 764, dtReadOnlyFile = 765, dtReplaceFile = 766,
              dtFileNotFound = 767, dtCreateFile = 768, dtPathNotFound = 769, dtBrowseCaption = 770, dtOk = 771,
              dtCreateFolder = 772, dtDelete = 773, dtDeleteHint = 774, dtYes = 775, dtNo = 776,
              dtDesktop = 777;

std::string DialogText(int number);
// The text with its first "%s" replaced by value.
std::string DialogTextWith(int number, const std::string& value);

} // namespace mv
