#pragma once
// What the command dispatcher asks of the window and its parts. Every call has a default that
// writes "<name>: not available" to the log, so a command for a part the program does not have
// yet is visible in the log and the queue moves on.
#include <string>

#include "service/api/plumora_api_params.h"

namespace plb::shell {

// Who produced a command: the source kind of a page change follows from it.
enum class TCommandSource { kNone, kWebHome, kTray, kProgram };

class TCommandTargets {
 public:
  virtual ~TCommandTargets() = default;

  // --- Keyword commands (the text as received) ---
  virtual void CallAx(const std::string& text) { NotAvailable("callax", text); }
  virtual void GetMailAddress(const std::string& text) { NotAvailable("getmailaddress", text); }
  virtual void StartMessageAgent() { NotAvailable("startmessageagent", ""); }
  // The updater's check; true when the updater wants the window closed.
  virtual bool UpdateCheck() {
    NotAvailable("updatecheck", "");
    return false;
  }
  // container is "main", "dialog" or "plumorapreview".
  virtual void CallJsFunc(const std::string& container, const std::string& name, const std::string& /*arg*/) {
    NotAvailable("calljsfunc", container + ":" + name);
  }
  virtual void WakeupIE(const std::string& text) { NotAvailable("wakeupie", text); }
  virtual void CancelUpload() { NotAvailable("cancelupload", ""); }
  virtual void CloseWebDialog() { NotAvailable("closedialog", ""); }
  // Reloads the application-information document; true on success.
  virtual bool ReloadAppInfo() {
    NotAvailable("RenewAppInfo", "");
    return false;
  }

  // --- Pages and the web home ---
  virtual int CurrentPage() const { return 1; }
  // Page p (0 service, 1 library, 2 BGM) for source kind k (0 user, 1 web home, 2 other).
  virtual void ShowPage(int page, int kind) { NotAvailable("ShowPage", std::to_string(page) + "," + std::to_string(kind)); }
  // url empty: the service's default page.
  virtual void Navigate(const std::string& url) { NotAvailable("Navigate", url); }
  virtual void RemakePage(const std::string& url) { NotAvailable("RemakePage", url); }
  virtual void OpenWebDialog(const std::string& url, int width, int height) {
    NotAvailable("OpenWebDialog", url + " " + std::to_string(width) + "x" + std::to_string(height));
  }
  virtual void BringToFront() { NotAvailable("BringToFront", ""); }

  // --- Library, tools and tray ---
  // Leaves the print, trimming and collage tools and closes the single-photo viewer.
  virtual void LeaveTools() { NotAvailable("LeaveTools", ""); }
  virtual int TrayMode() const { return 0; }
  virtual void ConfigureTray(const TPlumoraApiParamValues&, int tray_mode) {
    NotAvailable("ConfigureTray", std::to_string(tray_mode));
  }
  virtual void StartTrayUpload() { NotAvailable("StartTrayUpload", ""); }
  virtual void SetCatalogUploadMode(bool on) { NotAvailable("SetCatalogUploadMode", on ? "on" : "off"); }
  // Tab and tray display bits, the side-by-side service page and the log panel.
  virtual void ApplyDisplay(const TPlumoraApiParamValues&) { NotAvailable("ApplyDisplay", ""); }
  // The BGM dialog for a photo book; the command text it returns (empty: nothing).
  virtual std::string RunBgmDialog(const std::string& session_id, const std::string& book_id) {
    NotAvailable("BgmDialog", session_id + " " + book_id);
    return {};
  }

  // --- The window ---
  virtual void CloseWindow() { NotAvailable("CloseWindow", ""); }
  // Sets the process's restart flag (the window is closed by the dispatcher afterwards).
  virtual void SetRestartFlag() { NotAvailable("SetRestartFlag", ""); }
  virtual bool Terminating() const { return false; }
  // Every processed command: the log panel when shown, the operation log.
  virtual void CommandProcessed(const std::string&, TCommandSource) {}
  // After every step that processed a command: enabled and visible states of the actions.
  virtual void RefreshActions() {}

 protected:
  // Writes "<what>: not available (<detail>)" to the diagnostic log.
  static void NotAvailable(const std::string& what, const std::string& detail);
};

}  // namespace plb::shell
