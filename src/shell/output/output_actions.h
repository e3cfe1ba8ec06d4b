#pragma once
// The output commands of the main window: saving photos, printing, exporting the calendar,
// making a collage. Each works on the library page's selection (or its calendar).
class QMainWindow;
class QMenu;

namespace plb::shell {

class TLibraryPage;

// Adds "別名で保存", "印刷", "カレンダーの出力" and "コラージュ" to menu.
void AddOutputActions(QMainWindow* window, QMenu* menu, TLibraryPage* library);

}  // namespace plb::shell
