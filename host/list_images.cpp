// The shared image list: the report icons that every row of the library's
// lists shows, appended once the host has created its image list.
#include "host/exports.h"
#include "host/host.h"

namespace {

// Icon resources in the order features count them from the base image index.
constexpr const char* kListIcons[] = {
    "vnx_failed_login", "vnx_fs_track", "vnx_login_track", "vnx_fs_track_not_track",
    "vnx_logon_rec", "vnx_logoff_rec", "vnx_blue_book", "vnx_ent_host", "vnx_dept_host",
    "vnx_my_server", "vnx_aaa", "vnx_dir_rename", "vnx_dir_del", "vnx_local_user",
    "vnx_local_user_disabled", "vnx_excluded_user", "vnx_reg_arc", "VNX_BLOCK_RENAME",
    "VNX_PROFILE_MATCH", "VNX_CUSTOM_RPT", "VNX_SCHEDULER", "VNX_SCHEDULER_DISABLED",
    "QVAWKQ_MY_SERVER", "QVAKQ_OKGROUP", "QVAKQ_BLOCKGROUP", "AD_G_GROUP", "AD_UGROUPSEC",
    "AD_LGROUPSEC", "AD_GGROUPSEC", "AD_GGROUP", "AD_LGROUP", "AD_UGROUP", "QVAKQ_AA", "AT_FS",
    "AT_FS_ACL", "AT_AD", "AT_AD_ACL", "AT_AD_PW", "WL_FS", "WL_FS_ACL", "WL_AD", "WL_AD_ACL",
    "WL_AD_PW", "AT_EXCH", "WL_EXCH", "VNX_FTP_LOGOFF_REC", "VNX_FTP_LOGOFF_TIMEOUT_REC",
    "VNX_FTP_LOGON_FAILED_REC", "VNX_FTP_LOGON_REC", "VNX_AD_EVENT", "AD_USER", "AD_CONTAINER",
    "AD_CONTACT", "AD_USER_DISABLED", "AD_USER_LOCKED", "AD_EVERYONE", "AD_BUILTIN", "AD_OU",
    "AD_MSMQ_ALIAS", "AD_SHARED_FOLDER", "AD_COMPUTER", "AD_EXCH_SERVER", "AD_EXCH_STORAGE_GROUP",
    "AD_DOMAIN_ROOT", "AD_TRACK_OBJ", "AD_TRACK_OBJ_CLASS", "AD_TRACK_ATTRIBUTE",
    "AD_RPT_AD_CREATE", "AD_RPT_AD_DELETE", "AD_RPT_AD_MODIFY", "AD_RPT_AD_MODIFY_REMOVE_ATTR",
    "AD_RPT_AD_MODIFY_CHANGE_ATTR", "AD_RPT_AD_MODIFY_ADDV", "AD_RPT_AD_MODIFY_DELV",
    "AD_RPT_AD_RENAME", "AD_RPT_AD_MOVE", "VNX_TREE_ACL_SETOWNER", "VNX_TREE_ACL_REMACE",
    "VNX_TREE_ACL_MODACE", "VNX_TREE_ACL_ADDACE", "VNX_AD_EVENT_DISABLED",
    "vnx_failed_login_disabled", "vnx_fs_track_disabled", "vnx_login_track_disabled",
    "VNX_LOCAL_FILE_COPY", "VNX_SHARE_DEL", "VNX_SHARE_ADD", "VNX_SHARE_ACL_DEL",
    "VNX_SHARE_ACL_ADD", "VNX_GPO_EVENT", "VNX_GPO_EVENT_DISABLED", "VNX_GPO_FILE_CHANGE_ADD_ITEM",
    "VNX_GPO_FILE_CHANGE_DEL_ITEM", "VNX_GPO_AD_RENAME", "VNX_GPO_AD_MOVE", "VNX_GPO_AD_CREATE",
    "VNX_GPO_AD_DELETE", "VNX_GPO_AD_MODIFY", "VNX_GPO_AD_MODIFY_REM", "VNX_GPO_AD_MODIFY_CHG",
    "VNX_GPO_AD_MODIFY_DEL", "VNX_GPO_AD_MODIFY_ADD", "VNX_GPO_AD_MODIFY_XML_DEL",
    "VNX_GPO_AD_MODIFY_XML_ADD", "VNX_GPO_AD_MODIFY_CHG_XML", "VNX_GPO_AD_MODIFY_DEL_GPL",
    "VNX_GPO_AD_MODIFY_ADD_GPL", "VNX_GPO_AD_MODIFY_CHG_GPL", "VNX_GPO_AD_MODIFY_DEL_OPT",
    "VNX_GPO_AD_MODIFY_ADD_OPT", "VNX_GPO_AD_MODIFY_CHG_OPT", "VNX_GPO_AD_MODIFY_CSE_DEL",
    "VNX_GPO_AD_MODIFY_CSE_ADD", "VNX_GPO_CREATE_FILE_FOLDER", "VNX_ENT_NIC", "KERBEROS_ERROR",
    "VNX_FS_DENY_OPEN", "CHART_SM", "VNX_PROFILE_MATCH_NOT", "VNX_TRUE_DELETE_FOLDER",
    "VNX_TRUE_DELETE_FILE", "VNX_OU_LL", "VNX_LOCK", "VNX_UNLOCK", "VNX_FAILED_PASSWORD",
    "VNX_OK_PASSWORD",
};
static_assert(sizeof kListIcons / sizeof kListIcons[0] == 126, "the icon table");

}  // namespace

QVMR_EXPORT DWORD WINAPI entry_point_insert_list_images(HIMAGELIST image_list) {
  if (g_library.initialised != 1) return kResultNotInitialised;
  g_library.image_list = image_list;
  for (size_t i = 0; i < sizeof kListIcons / sizeof kListIcons[0]; ++i) {
    int index = ImageList_ReplaceIcon(image_list, -1, LoadIconA(g_library.instance, kListIcons[i]));
    if (i == 0) g_library.base_image_index = index;
  }
  g_library.image_list_ready = 1;
  return 0;
}
