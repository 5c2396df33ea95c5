#pragma once

// Where a connection learns whether the user wants it to reconnect by itself when its device
// goes away: the application's setting, which the user can change while connections run.

namespace drel {

class ReconnectChoice {
  public:
    virtual ~ReconnectChoice() = default;

    // Whether to wait for the device to return rather than tell the user it went away. Any
    // thread.
    virtual bool ReconnectAutomatically() const = 0;
};

}  // namespace drel
