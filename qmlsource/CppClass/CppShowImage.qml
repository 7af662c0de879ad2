import ShowImage.module 1.0

ShowImage {
}
