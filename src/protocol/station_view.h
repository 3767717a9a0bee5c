#pragma once

#include <string>

#include "protocol/cmd_result.h"

// What the station core asks of its owner besides the features' own views: results,
// refusal boxes and the device list's refresh. The GUI implements it; the CLI and the
// tests implement what they need (every method has an empty default).
//
// Thread rule: the reply dispatcher calls these on the transport's receive thread,
// the operator's actions on the UI thread. An implementation must return at once
// and never wait for the operator: a GUI queues the call onto its UI thread,
// carrying the values given (never pointers into network buffers).
class IStationView {
  public:
    virtual ~IStationView() = default;

    // A result for the result pane (strFormatResult gives its line).
    virtual void vOnResult(const CCmdResult& result) { (void)result; }
    // A box with the translated caption "TIPS" and OK, shown without blocking.
    virtual void vShowMessage(const std::string& text) { (void)text; }
    // A discovery reply was queued: drain the discovery queue soon (every 20 ms
    // until CDiscoveryFeature::iDrainDiscoveryQueue reports it empty).
    virtual void vOnDiscoveryQueued() {}
    // The device list must be refreshed as by "Refresh List" (run
    // CDiscoveryFeature::vRefresh on the UI thread).
    virtual void vRequestRefresh() {}
};
