import CmdDialog.module 1.0

CmdDialog {
}
