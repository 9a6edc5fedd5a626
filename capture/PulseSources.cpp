#include "capture/PulseSources.h"

#include <pulse/pulseaudio.h>

#include <algorithm>

namespace {

using Clock = std::chrono::steady_clock;

struct SourceCount {
    int32_t inputs = 0;
    bool done = false;
};

void CountSource(pa_context*, const pa_source_info* info, int eol, void* userdata) {
    auto* count = static_cast<SourceCount*>(userdata);
    if (eol != 0 || info == nullptr) {
        count->done = true;
        return;
    }
    if (info->monitor_of_sink == PA_INVALID_INDEX) {
        ++count->inputs;
    }
}

// One round of the main loop, waiting at most until the deadline. False once it has passed or
// the loop fails.
bool IterateUntil(pa_mainloop* loop, Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
        return false;
    }
    if (pa_mainloop_prepare(loop, static_cast<int>(left.count())) < 0) {
        return false;
    }
    return pa_mainloop_poll(loop) >= 0 && pa_mainloop_dispatch(loop) >= 0;
}

bool WaitUntilReady(pa_mainloop* loop, pa_context* context, Clock::time_point deadline) {
    for (;;) {
        const pa_context_state_t state = pa_context_get_state(context);
        if (state == PA_CONTEXT_READY) {
            return true;
        }
        if (!PA_CONTEXT_IS_GOOD(state) || !IterateUntil(loop, deadline)) {
            return false;
        }
    }
}

int32_t CountOnReadyContext(pa_mainloop* loop, pa_context* context, Clock::time_point deadline) {
    SourceCount count;
    pa_operation* operation = pa_context_get_source_info_list(context, CountSource, &count);
    if (operation == nullptr) {
        return 0;
    }
    while (!count.done && pa_operation_get_state(operation) == PA_OPERATION_RUNNING &&
           IterateUntil(loop, deadline)) {
    }
    pa_operation_unref(operation);
    return count.done ? count.inputs : 0;
}

struct SourceList {
    std::vector<PulseSource> sources;
    std::string defaultName;
    bool haveDefault = false;
    bool done = false;
};

void ListSource(pa_context*, const pa_source_info* info, int eol, void* userdata) {
    auto* list = static_cast<SourceList*>(userdata);
    if (eol != 0 || info == nullptr) {
        list->done = true;
        return;
    }
    if (info->monitor_of_sink == PA_INVALID_INDEX) {
        list->sources.push_back(PulseSource{info->name != nullptr ? info->name : "",
                                            info->description != nullptr ? info->description : ""});
    }
}

void TakeDefault(pa_context*, const pa_server_info* info, void* userdata) {
    auto* list = static_cast<SourceList*>(userdata);
    if (info != nullptr && info->default_source_name != nullptr) {
        list->defaultName = info->default_source_name;
    }
    list->haveDefault = true;
}

bool RunOperation(pa_mainloop* loop, pa_operation* operation, const bool& done,
                  Clock::time_point deadline) {
    if (operation == nullptr) {
        return false;
    }
    while (!done && pa_operation_get_state(operation) == PA_OPERATION_RUNNING &&
           IterateUntil(loop, deadline)) {
    }
    pa_operation_unref(operation);
    return done;
}

// Runs `ask` on a ready context of a server that is not spawned for it. Returns why no server
// answered, or nothing when one did.
template <typename Ask>
std::optional<std::string> AskServer(std::chrono::milliseconds timeout, Ask ask) {
    const Clock::time_point deadline = Clock::now() + timeout;
    pa_mainloop* loop = pa_mainloop_new();
    if (loop == nullptr) {
        return std::string("cannot start the client library");
    }
    std::optional<std::string> problem = "the client library gave no connection";
    pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "Tapewise");
    if (context != nullptr) {
        if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0 &&
            WaitUntilReady(loop, context, deadline)) {
            problem.reset();
            ask(loop, context, deadline);
        } else if (pa_context_errno(context) != PA_OK) {
            problem = pa_strerror(pa_context_errno(context));
        } else {
            problem = "no answer within " + std::to_string(timeout.count()) + " ms";
        }
        pa_context_disconnect(context);
        pa_context_unref(context);
    }
    pa_mainloop_free(loop);
    return problem;
}

}  // namespace

std::vector<PulseSource> ListPulseInputSources(std::chrono::milliseconds timeout) {
    SourceList list;
    AskServer(timeout, [&list](pa_mainloop* loop, pa_context* context, Clock::time_point deadline) {
        if (!RunOperation(loop, pa_context_get_server_info(context, TakeDefault, &list),
                          list.haveDefault, deadline) ||
            !RunOperation(loop, pa_context_get_source_info_list(context, ListSource, &list),
                          list.done, deadline)) {
            list.sources.clear();
        }
    });
    std::stable_partition(
        list.sources.begin(), list.sources.end(),
        [&list](const PulseSource& source) { return source.name == list.defaultName; });
    return list.sources;
}

std::optional<std::string> FindPulseServerProblem(std::chrono::milliseconds timeout) {
    return AskServer(timeout, [](pa_mainloop*, pa_context*, Clock::time_point) {});
}

int32_t CountPulseInputSources(std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    pa_mainloop* loop = pa_mainloop_new();
    if (loop == nullptr) {
        return 0;
    }
    int32_t inputs = 0;
    pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "Tapewise");
    if (context != nullptr) {
        if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0 &&
            WaitUntilReady(loop, context, deadline)) {
            inputs = CountOnReadyContext(loop, context, deadline);
        }
        pa_context_disconnect(context);
        pa_context_unref(context);
    }
    pa_mainloop_free(loop);
    return inputs;
}
