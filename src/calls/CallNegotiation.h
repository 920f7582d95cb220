#pragma once

#include "WebRTCManager.h"

#include <QHash>
#include <QList>

#include <functional>
#include <optional>

struct CallPipeline;
typedef struct _GstPromise GstPromise;

// The offer/answer exchange and the ICE candidates of the owner's current pipeline. webrtcbin
// answers on its own threads; its answers come back through the pipeline's post(), so those of a
// closed or replaced pipeline never arrive. Every request is numbered and completes exactly once
// on the GUI thread: close() or a new connection completes the waiting ones with a failure, so no
// flow waits for ever and none acts on the connection that replaced its own.
class CallNegotiation
{
public:
    using Description = WebRTCManager::SessionDescription;
    using DescriptionCompletion = std::function<void(std::optional<Description>)>;

    explicit CallNegotiation(WebRTCManager &owner);

    // Reports webrtcbin's states and local candidates to the owner.
    static void watch(CallPipeline &pipeline);

    void createDescription(bool offer, DescriptionCompletion completion);
    // Completion(true) comes after the buffered remote candidates were added.
    void setRemoteDescription(const Description &description, std::function<void(bool)> completion);
    // Buffered until the remote description is set; unusable ones are dropped with a line.
    void addIceCandidate(const WebRTCManager::IceCandidate &candidate);
    int pendingIceCandidateCount() const { return int(m_pendingIceCandidates.size()); }
    void clearPendingIceCandidates() { m_pendingIceCandidates.clear(); }

    // A waiting request: `onAbandon` runs (later) if abandonCompletions() comes before
    // takeCompletion(id), which tells whether the request may still complete.
    quint64 registerCompletion(std::function<void()> onAbandon);
    bool takeCompletion(quint64 id);
    void abandonCompletions();

private:
    // webrtcbin's answers, on its thread; `data` is the request they answer.
    static void descriptionCreated(GstPromise *promise, void *data);
    static void localDescriptionSet(GstPromise *promise, void *data);
    static void remoteDescriptionSet(GstPromise *promise, void *data);
    void addPendingIceCandidates();
    // False (with the reason on the output) when the candidate cannot be used.
    bool addToPipeline(const WebRTCManager::IceCandidate &candidate, const QString &errorPrefix);

    WebRTCManager &m_owner;
    QList<WebRTCManager::IceCandidate> m_pendingIceCandidates;
    quint64 m_nextCompletionId = 1;
    QHash<quint64, std::function<void()>> m_abandonedCompletions;
};
