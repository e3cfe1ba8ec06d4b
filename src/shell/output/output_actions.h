#pragma once
// The output commands of the main window: saving photos, printing, exporting the calendar,
// making a collage. Each works on the library page's selection (or its calendar).
#include <functional>

class QMainWindow;

namespace plb::shell {

class TLibraryPage;

// Makes the window's actions AcFileSave "別名で保存", AcToolPrint "写真の印刷", AcFileExportFolder
// "カレンダーの出力" and AcToolCollage "コラージュ"; the window places them in its menus.
// quality answers the JPEG quality the user chose (null: 90).
void AddOutputActions(QMainWindow* window, TLibraryPage* library, std::function<int()> quality = nullptr);

}  // namespace plb::shell
