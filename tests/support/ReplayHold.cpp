#include "ReplayHold.h"

#include "app/InformationCenter.h"

#include <chrono>
#include <thread>

std::shared_ptr<ReplayHold> ReplayHold::on(InformationCenter *hub, QObject *context)
{
    auto hold = std::make_shared<ReplayHold>();
    QObject::connect(
        hub, &InformationCenter::updateSchedule, context,
        [hold](int) {
            ++hold->images;
            if (hold->held.exchange(true))
                return;
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
            while (!hold->released.load() && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        },
        Qt::DirectConnection);
    return hold;
}
