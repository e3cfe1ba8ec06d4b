#include "shell/start/bench_script.h"

#include <QApplication>
#include <QScrollBar>
#include <QTimer>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <deque>
#include <fstream>
#include <sstream>
#include <string>

#include "engine/model/folder_tree_list.h"
#include "engine/ostra_engine.h"
#include "shell/grid/frame_catalog_dg.h"
#include "shell/library/library_page.h"
#include "shell/main_window.h"

namespace plb::shell {
namespace {

// Milliseconds since the kernel started this process (the dynamic loader's work included).
double MsSinceProcessStart() {
  std::ifstream stat("/proc/self/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), {});
  // The command name may hold spaces; the fields after it start past its closing bracket.
  const size_t close = text.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  unsigned long long start_ticks = 0;
  for (int i = 3; i <= 22 && fields >> field; ++i)
    if (i == 22) start_ticks = std::stoull(field);
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  const double now_ms = now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
  return now_ms - start_ticks * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

std::string StatusField(const std::string& name) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind(name + ":", 0) == 0) {
      std::istringstream value(line.substr(name.size() + 1));
      std::string kb;
      value >> kb;
      return kb;
    }
  return "?";
}

class BenchScript {
 public:
  BenchScript(std::deque<std::string> steps, const char* report) : steps_(std::move(steps)), report_(report) {}

  void Begin(TOstraEngine& engine, TLibraryPage& page) {
    engine_ = &engine;
    page_ = &page;
    Write("start-folder-shown " + Ms());
    // The window starts on the service page; the library page comes to the front as a click on
    // its tab would bring it.
    if (auto* window = qobject_cast<TPlumoraMain2*>(page.window()); window && window->CurrentPage() != 1)
      window->ShowPage(1, 0);
    waiting_ = Wait::kStartScreen;
  }

  void Painted(TFrameCatalogDG& grid, int cells, int pictures) {
    if (!page_ || &grid != page_->Catalog() || waiting_ == Wait::kNothing) return;
    // Each paint on the way to a first screen, to show where the time goes.
    if (waiting_ != Wait::kScrolled)
      Write("paint " + Ms() + " " + std::to_string(pictures) + "/" + std::to_string(cells));
    if (cells == 0 || pictures < cells) return;
    switch (waiting_) {
      case Wait::kStartScreen:
        Write("first-screen-drawn " + Ms());
        break;
      case Wait::kFolderScreen:
        Write("folder-first-screen " + Ms() + " " + std::to_string(static_cast<long>(MsSinceProcessStart() - opened_)));
        break;
      case Wait::kScrolled:
        ScrollOn();
        return;
      case Wait::kNothing:
        return;
    }
    waiting_ = Wait::kNothing;
    NextSoon();
  }

 private:
  enum class Wait { kNothing, kStartScreen, kFolderScreen, kScrolled };

  static std::string Ms() { return std::to_string(static_cast<long>(MsSinceProcessStart())); }

  void Write(const std::string& line) {
    report_ << line << '\n';
    report_.flush();
  }

  // The next step runs from the event loop, never inside a paint.
  void NextSoon() {
    QTimer::singleShot(0, qApp, [this] { Next(); });
  }

  void Next() {
    if (steps_.empty()) return;
    const std::string step = steps_.front();
    steps_.pop_front();
    if (step.rfind("open ", 0) == 0) {
      Open(step.substr(5));
    } else if (step == "scroll-end") {
      screens_ = 0;
      waiting_ = Wait::kScrolled;
      page_->Catalog()->Grid()->viewport()->update();
    } else if (step.rfind("wait ", 0) == 0) {
      // As a person looks at the screen for a while: the start's background work goes on.
      QTimer::singleShot(std::atoi(step.c_str() + 5), qApp, [this] { Next(); });
    } else if (step == "rss") {
      Write("rss " + Ms() + " " + StatusField("VmRSS") + " " + StatusField("VmHWM") + " " +
            std::to_string(page_->Catalog()->KeptPixmapKiB()));
      NextSoon();
    } else if (step == "quit") {
      QApplication::closeAllWindows();
    } else {
      Write("unknown-step " + step);
      NextSoon();
    }
  }

  void Open(const std::string& path) {
    TFolder* folder = engine_->Folders() ? engine_->Folders()->FindFolderOf(path) : nullptr;
    if (!folder) {
      Write("folder-missing " + path);
      NextSoon();
      return;
    }
    opened_ = MsSinceProcessStart();
    Write("folder-opened " + Ms() + " " + path);
    waiting_ = Wait::kFolderScreen;
    page_->ShowFolder(folder);
  }

  // One screen further each time the screen shown is complete, until the end of the folder.
  void ScrollOn() {
    QScrollBar* bar = page_->Catalog()->Grid()->verticalScrollBar();
    if (bar->value() >= bar->maximum()) {
      waiting_ = Wait::kNothing;
      Write("scrolled-end " + Ms() + " " + std::to_string(screens_));
      NextSoon();
      return;
    }
    ++screens_;
    QTimer::singleShot(0, qApp, [bar] { bar->setValue(bar->value() + bar->pageStep()); });
  }

  std::deque<std::string> steps_;
  std::ofstream report_;
  TOstraEngine* engine_ = nullptr;
  TLibraryPage* page_ = nullptr;
  Wait waiting_ = Wait::kNothing;
  double opened_ = 0;
  int screens_ = 0;
};

BenchScript* LoadScript() {
  const char* script = std::getenv("PLB_BENCH_SCRIPT");
  const char* report = std::getenv("PLB_BENCH_REPORT");
  if (!script || !*script || !report || !*report) return nullptr;
  std::ifstream in(script);
  std::deque<std::string> steps;
  for (std::string line; std::getline(in, line);)
    if (!line.empty() && line[0] != '#') steps.push_back(line);
  // Lives until the process ends: its steps run up to the last window's close.
  return new BenchScript(std::move(steps), report);
}

BenchScript* Script() {
  static BenchScript* const script = LoadScript();
  return script;
}

}  // namespace

bool BenchScriptActive() { return Script() != nullptr; }

void BenchScreenPainted(TFrameCatalogDG& grid, int cells, int pictures) {
  if (BenchScript* script = Script()) script->Painted(grid, cells, pictures);
}

void StartBenchScript(TOstraEngine& engine, TLibraryPage& page) {
  if (BenchScript* script = Script()) script->Begin(engine, page);
}

}  // namespace plb::shell
