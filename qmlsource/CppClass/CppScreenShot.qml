import ScreenShot.module 1.0

ScreenShot {
}
