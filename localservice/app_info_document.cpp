#include "localservice/app_info_document.h"

#include "localservice/service_state.h"

namespace plb::localservice {

namespace {

// The collage sizes of the photo-book pages: one way per orientation, photo size and margins.
const char* const kCollage =
    "    <collage>\n"
    "      <sizesetting>\n"
    "        <type id=\"Basic\" name=\"ベーシック\">\n"
    "          <way value=\"horizontal\"><photosize width=\"640\" photoheight=\"480\"/>"
    "<span left=\"8\" top=\"8\" right=\"8\" bottom=\"8\"/></way>\n"
    "          <way value=\"vertical\"><photosize width=\"480\" photoheight=\"640\"/>"
    "<span left=\"8\" top=\"8\" right=\"8\" bottom=\"8\"/></way>\n"
    "        </type>\n"
    "        <type id=\"Square\" name=\"スクエア\">\n"
    "          <way value=\"horizontal\"><photosize width=\"600\" photoheight=\"600\"/>"
    "<span left=\"4\" top=\"4\" right=\"4\" bottom=\"4\"/></way>\n"
    "        </type>\n"
    "        <type id=\"Panorama\" name=\"パノラマ\">\n"
    "          <way value=\"horizontal\"><photosize width=\"1200\" photoheight=\"400\"/>"
    "<span left=\"0\" top=\"0\" right=\"0\" bottom=\"0\"/></way>\n"
    "        </type>\n"
    "        <separator/>\n"
    "        <type id=\"PhotoS\" name=\"写真S\">\n"
    "          <way value=\"horizontal\"><photosize width=\"320\" photoheight=\"240\"/>"
    "<span left=\"2\" top=\"2\" right=\"2\" bottom=\"2\"/></way>\n"
    "        </type>\n"
    "        <type id=\"PhotoL\" name=\"写真L\">\n"
    "          <way value=\"horizontal\"><photosize width=\"1024\" photoheight=\"768\"/>"
    "<span left=\"2\" top=\"2\" right=\"2\" bottom=\"2\"/></way>\n"
    "        </type>\n"
    "        <type id=\"Wedding\" name=\"ウェディング\">\n"
    "          <way value=\"vertical\"><photosize width=\"600\" photoheight=\"800\"/>"
    "<span left=\"16\" top=\"16\" right=\"16\" bottom=\"16\"/></way>\n"
    "        </type>\n"
    "        <separator/>\n"
    "        <type id=\"PrintL\" name=\"L判\">\n"
    "          <way value=\"horizontal\"><photosize width=\"1051\" photoheight=\"750\"/>"
    "<span left=\"0\" top=\"0\" right=\"0\" bottom=\"0\"/></way>\n"
    "        </type>\n"
    "        <type id=\"PrintPostCard\" name=\"はがき\">\n"
    "          <way value=\"vertical\"><photosize width=\"1181\" photoheight=\"1748\"/>"
    "<span left=\"0\" top=\"0\" right=\"0\" bottom=\"0\"/></way>\n"
    "        </type>\n"
    "        <type id=\"PrintA4\" name=\"A4\">\n"
    "          <way value=\"vertical\"><photosize width=\"2480\" photoheight=\"3508\"/>"
    "<span left=\"0\" top=\"0\" right=\"0\" bottom=\"0\"/></way>\n"
    "        </type>\n"
    "      </sizesetting>\n"
    "      <default id=\"Basic\"/>\n"
    "    </collage>\n";

}  // namespace

std::string BuildAppInfoDocument(const std::string& base_url, const std::string& update_check_url,
                                 const std::string& installer_url) {
  const std::string b = XmlEscape(base_url);
  std::string d = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plbAppInfo ver=\"1.0\">\n";
  d += "  <baseurl src=\"" + b + "api/\" uploadapiver=\"1\"/>\n";
  d += "  <getappinfourl src=\"" + b + "api/getAppInfo.php\"/>\n";
  // No update is offered until a test scripts one.
  d += "  <getinstallerurl src=\"" + XmlEscape(installer_url) + "\"/>\n  <getupdateurl src=\"" +
       XmlEscape(update_check_url) + "\"/>\n";
  d += "  <networkcheck value=\"disable\" offlineannounceurl=\"" + b + "offline.html\"/>\n";
  d += "  <helpurl src=\"" + b + "help/index.html\"/>\n";
  d += "  <logurl src=\"" + b + "api/saveLog.php\" longsessionid=\"LOG-1\"/>\n";
  d += "  <remotephotourl src=\"" + b + "eyefi/\"/>\n";
  d += "  <initialparams>\n    <imagelibcashmax kbyes=\"512000\"/>\n    <supportmovietype value=\"avi,mov,mp4,mpg\"/>\n";
  d += kCollage;
  d += "  </initialparams>\n";
  d += "  <errormessages>\n";
  d += "    <type value=\"socketeEror\" code=\"\" src=\"" + b + "error.html\"/>\n";
  d += "    <type value=\"requestFalied\" code=\"\" src=\"" + b + "error.html\"/>\n";
  d += "    <type value=\"networkError\" src=\"" + b + "offline.html\"/>\n";
  d += "    <type value=\"\" code=\"\" command=\"startpage\"><parameter name=\"pageurl\" value=\"" + b +
       "error.html\"/><parameter name=\"dispTabMode\" value=\"ver1\"/></type>\n";
  d += "  </errormessages>\n";
  d += "  <localwakeup><procs><networkcheck><online>\n";
  d += "    <setmode value=\"url\"><parameter name=\"url\" value=\"" + b + "home.html\"/></setmode>\n";
  d += "  </online></networkcheck></procs></localwakeup>\n";
  d += "  <shutdown><procs><uploading><message>アップロード中です。終了しますか？</message></uploading></procs></shutdown>\n";
  d += "  <uis><menu name=\"debug\" disp=\"hidden\"/><dialog name=\"debugInfo\" disp=\"hidden\"/>"
       "<toolbar name=\"tab\" disp=\"enable\"/><toolbar name=\"plumoratray\" disp=\"enable\"/></uis>\n";
  d += "  <updatemessages><dialog src=\"" + b +
       "dialog.html\" width=\"480\" height=\"320\"/><vistaonly>false</vistaonly><button type=\"yesno\"/></updatemessages>\n";
  d += "  <finishuninstallurl src=\"" + b + "home.html\"/>\n";
  d += "  <copyright text=\"\" copyright=\"Copyright (C) Morvane\"/>\n";
  d += "  <hints>\n";
  d += "    <hint hintid=\"1\" guiid=\"folderTree\" url=\"" + b +
       "help/index.html\" width=\"240\" height=\"120\" anchorx=\"10\" anchory=\"10\" bgcolor=\"16777184\"/>\n";
  d += "    <hint hintid=\"2\" guiid=\"serviceTab\" url=\"" + b +
       "help/index.html\" width=\"240\" height=\"120\"><condition kind=\"versionup\"/></hint>\n";
  d += "  </hints>\n";
  d += "  <messageagent>\n";
  d += "    <baseurl src=\"" + b + "api/\"><param name=\"plbid_machineid\" value=\"M-1\"/>"
       "<param name=\"plbid_machineuserid\" value=\"MU-1\"/></baseurl>\n";
  d += "    <startdelaysec value=\"30\"/><retrydelaysec value=\"300\"/><nextquerysec value=\"3600\"/>"
       "<balloontimedoutsec value=\"30\"/>\n";
  d += "    <firstwakeup><content src=\"" + b + "home.html\" width=\"400\" height=\"300\"/></firstwakeup>\n";
  d += "  </messageagent>\n";
  d += "  <plbid packagecode=\"PLB\" machineid=\"M-1\" machineuserid=\"MU-1\"/>\n";
  d += "  <wakeupserviceCommand><command>startpage</command><parameter name=\"pageurl\" value=\"" + b +
       "home.html\"/></wakeupserviceCommand>\n";
  d += "  <operationlogurl src=\"" + b + "api/operationLog.php\" plbprocessid=\"1\" nouse=\"false\"/>\n";
  d += "</plbAppInfo>\n";
  return d;
}

}  // namespace plb::localservice
