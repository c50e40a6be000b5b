#include "platform/smdk/InstanceUids.h"

#include <algorithm>
#include <boost/uuid/random_generator.hpp>
#include <boost/uuid/uuid.hpp>

namespace smdk {

Uuid randomUuid() {
    const boost::uuids::uuid uuid = boost::uuids::random_generator()();
    Uuid out;
    std::copy(uuid.begin(), uuid.end(), out.begin());
    return out;
}

Uuid InstanceUids::next() {
    Uuid uid = base_;
    const uint32_t number = ++count_;
    for (size_t i = 0; i < 4; ++i)
        uid[12 + i] = uint8_t(number >> (8 * (3 - i)));
    return uid;
}

} // namespace smdk
