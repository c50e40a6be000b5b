#include "source/SMDKDefaultMetadata.h"

SMDKDefaultMetadata::SMDKDefaultMetadata(const IdentificationRecord &identification) {
    values.identificationInfo = identification;
}

SMDKRational SMDKDefaultMetadata::soundSamplingRate(uint32_t channel) const {
    if (channel >= values.soundSamplingRates.size())
        return SMDKRational{0, 1};
    return values.soundSamplingRates[channel];
}

SMDKChannelStatus SMDKDefaultMetadata::channelStatus(uint32_t channel) const {
    if (channel >= values.channelStatuses.size())
        return SMDKChannelStatus{0x01};
    return values.channelStatuses[channel];
}
