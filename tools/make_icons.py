#!/usr/bin/env python3
"""Writes the library's 16x16 icons into resources/icons/, one per name in the
icon table and one per window icon of the directory picker: a coloured square
whose colour and mark follow the name."""
import hashlib
import struct
import sys
from pathlib import Path

NAMES = """vnx_failed_login vnx_fs_track vnx_login_track vnx_fs_track_not_track vnx_logon_rec
vnx_logoff_rec vnx_blue_book vnx_ent_host vnx_dept_host vnx_my_server vnx_aaa vnx_dir_rename
vnx_dir_del vnx_local_user vnx_local_user_disabled vnx_excluded_user vnx_reg_arc VNX_BLOCK_RENAME
VNX_PROFILE_MATCH VNX_CUSTOM_RPT VNX_SCHEDULER VNX_SCHEDULER_DISABLED QVAWKQ_MY_SERVER
QVAKQ_OKGROUP QVAKQ_BLOCKGROUP AD_G_GROUP AD_UGROUPSEC AD_LGROUPSEC AD_GGROUPSEC AD_GGROUP
AD_LGROUP AD_UGROUP QVAKQ_AA AT_FS AT_FS_ACL AT_AD AT_AD_ACL AT_AD_PW WL_FS WL_FS_ACL WL_AD
WL_AD_ACL WL_AD_PW AT_EXCH WL_EXCH VNX_FTP_LOGOFF_REC VNX_FTP_LOGOFF_TIMEOUT_REC
VNX_FTP_LOGON_FAILED_REC VNX_FTP_LOGON_REC VNX_AD_EVENT AD_USER AD_CONTAINER AD_CONTACT
AD_USER_DISABLED AD_USER_LOCKED AD_EVERYONE AD_BUILTIN AD_OU AD_MSMQ_ALIAS AD_SHARED_FOLDER
AD_COMPUTER AD_EXCH_SERVER AD_EXCH_STORAGE_GROUP AD_DOMAIN_ROOT AD_TRACK_OBJ AD_TRACK_OBJ_CLASS
AD_TRACK_ATTRIBUTE AD_RPT_AD_CREATE AD_RPT_AD_DELETE AD_RPT_AD_MODIFY AD_RPT_AD_MODIFY_REMOVE_ATTR
AD_RPT_AD_MODIFY_CHANGE_ATTR AD_RPT_AD_MODIFY_ADDV AD_RPT_AD_MODIFY_DELV AD_RPT_AD_RENAME
AD_RPT_AD_MOVE VNX_TREE_ACL_SETOWNER VNX_TREE_ACL_REMACE VNX_TREE_ACL_MODACE VNX_TREE_ACL_ADDACE
VNX_AD_EVENT_DISABLED vnx_failed_login_disabled vnx_fs_track_disabled vnx_login_track_disabled
VNX_LOCAL_FILE_COPY VNX_SHARE_DEL VNX_SHARE_ADD VNX_SHARE_ACL_DEL VNX_SHARE_ACL_ADD VNX_GPO_EVENT
VNX_GPO_EVENT_DISABLED VNX_GPO_FILE_CHANGE_ADD_ITEM VNX_GPO_FILE_CHANGE_DEL_ITEM VNX_GPO_AD_RENAME
VNX_GPO_AD_MOVE VNX_GPO_AD_CREATE VNX_GPO_AD_DELETE VNX_GPO_AD_MODIFY VNX_GPO_AD_MODIFY_REM
VNX_GPO_AD_MODIFY_CHG VNX_GPO_AD_MODIFY_DEL VNX_GPO_AD_MODIFY_ADD VNX_GPO_AD_MODIFY_XML_DEL
VNX_GPO_AD_MODIFY_XML_ADD VNX_GPO_AD_MODIFY_CHG_XML VNX_GPO_AD_MODIFY_DEL_GPL
VNX_GPO_AD_MODIFY_ADD_GPL VNX_GPO_AD_MODIFY_CHG_GPL VNX_GPO_AD_MODIFY_DEL_OPT
VNX_GPO_AD_MODIFY_ADD_OPT VNX_GPO_AD_MODIFY_CHG_OPT VNX_GPO_AD_MODIFY_CSE_DEL
VNX_GPO_AD_MODIFY_CSE_ADD VNX_GPO_CREATE_FILE_FOLDER VNX_ENT_NIC KERBEROS_ERROR VNX_FS_DENY_OPEN
CHART_SM VNX_PROFILE_MATCH_NOT VNX_TRUE_DELETE_FOLDER VNX_TRUE_DELETE_FILE VNX_OU_LL VNX_LOCK
VNX_UNLOCK VNX_FAILED_PASSWORD VNX_OK_PASSWORD""".split()

# The directory picker's window icons that the table does not hold (ad_user and ad_contact are AD_USER and AD_CONTACT).
PICKER_NAMES = ["ad_universalgroup", "ad_search"]


def icon(name):
    digest = hashlib.sha1(name.encode()).digest()
    fill = (digest[0] | 0x40, digest[1] | 0x40, digest[2] | 0x40, 255)
    mark = (255, 255, 255, 255)
    size = 16
    pixels = bytearray()
    for y in range(size):  # bottom-up rows, BGRA
        for x in range(size):
            edge = x in (0, size - 1) or y in (0, size - 1)
            diagonal = (x - y) % 5 == digest[3] % 5 and 3 <= x <= 12 and 3 <= y <= 12
            b, g, r, a = (mark if diagonal else fill)
            pixels += bytes((b // 2, g // 2, r // 2, 255) if edge else (b, g, r, a))
    mask = bytes(4 * size)  # 16 rows of 32 bits, all opaque
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    image = header + bytes(pixels) + mask
    return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), 22) + image


def main():
    out = Path(sys.argv[1] if len(sys.argv) > 1 else "resources/icons")
    out.mkdir(parents=True, exist_ok=True)
    assert len(NAMES) == 126, len(NAMES)
    for name in NAMES + PICKER_NAMES:
        (out / f"{name}.ico").write_bytes(icon(name))


if __name__ == "__main__":
    main()
