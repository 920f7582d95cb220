#pragma once

// The call manager's incoming-call poll, switched on and off together with the unread loop. The
// calls subsystem implements it and registers a provider with AuthManager::setCallPollingProvider.
class IncomingCallPolling
{
public:
    virtual ~IncomingCallPolling() = default;
    virtual void startPolling() = 0;
    virtual void stopPolling() = 0;
};
