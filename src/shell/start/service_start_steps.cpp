#include "shell/start/service_start_steps.h"

#include "host/log_file.h"
#include "service/api/plumora_api.h"
#include "service/api/plumora_api_params.h"
#include "service/appinfo/check_app_info.h"
#include "service/commands/local_param_file.h"
#include "service/updater/application_updater.h"
#include "service/updater/updater_values.h"
#include "service/upload/back_uploader.h"
#include "shell/start/update_splash_form.h"

namespace plb::shell {

void AddServiceStartSteps(StartHooks& hooks, const TServiceStartOptions& options,
                          std::function<TAlbumList*()> albums) {
  // Step 4 also takes the local parameter file's content: a restart hands the same content on,
  // even when the file itself is gone by the time the program ends.
  auto read_start_parameters = std::move(hooks.read_start_parameters);
  hooks.read_start_parameters = [read_start_parameters](const std::vector<std::string>& args) {
    if (read_start_parameters) read_start_parameters(args);
    HoldLocalParamFile(PlumoraApiParams().LocalParamFile());
  };
  hooks.local_parameter_content = [] { return HeldLocalParamContent(); };

  hooks.check_application_information = [] {
    if (!PLApi_CheckAppInfoEx(false)) return false;
    ApplyAppInfoToUpdater();
    return true;
  };
  hooks.log_out = [] { PLApi_LogOut(); };  // the answer does not matter at exit

  hooks.update_started = [options] {
    const TPlumoraApiParamValues params = PlumoraApiParams().Snapshot();
    if (params.update_check) return RunUpdateCheckWithSplash(options.splash_ms);
    if (params.splash) ShowSplash(options.splash_ms);
    return false;
  };

  hooks.start_background_services = [options, albums](TStopStack& stop) {
    StartPlumoraBackUploader(options.back_upload_wait_ms, albums ? albums() : nullptr);
    stop.Arm("stop the background re-upload thread", [] { AbortPlumoraBackUploader(); });
  };

  hooks.run_pending_installer = [] { return TApplicationUpdater::RunPendingUpdater(); };
}

}  // namespace plb::shell
