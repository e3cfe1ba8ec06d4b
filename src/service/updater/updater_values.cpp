#include "service/updater/updater_values.h"

#include "service/api/plumora_api_params.h"
#include "service/appinfo/check_app_info.h"

namespace plb {

TUpdaterValues UpdaterValuesFromAppInfo() {
  const TAppInfoValues info = AppliedAppInfo();
  TUpdaterValues values;
  values.update_check_url = info.update_url;
  values.installer_url = info.installer_url;
  values.dialog_url = info.update_dialog_url;
  values.dialog_width = info.update_dialog_width;
  values.dialog_height = info.update_dialog_height;
  values.vista_only = info.update_vista_only;
  values.buttons = info.update_buttons;
  // The store holds the ids the message agent settled on, which the document may have renewed.
  values.machine_id = PlumoraApiParams().MachineId();
  values.machine_user_id = PlumoraApiParams().MachineUserId();
  return values;
}

void ApplyAppInfoToUpdater() {
  TApplicationUpdater::SetUpdaterValues(UpdaterValuesFromAppInfo());
}

}  // namespace plb
