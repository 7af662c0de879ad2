import ShowPoint.module 1.0

ShowPoint {
}
