import InformationCenter.module 1.0

InformationCenter {
}
