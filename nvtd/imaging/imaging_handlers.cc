// The imaging handlers: check the request, then read or change the mode and the focus.
#include "nvtd/imaging/imaging_handlers.h"

#include <string>

#include "common/state_file.h"
#include "nvtd/core/process_state.h"
#include "nvtd/imaging/focus_jobs.h"
#include "nvtd/imaging/imaging_requests.h"
#include "nvtd/imaging/imaging_templates.h"
#include "nvtd/soap/faults.h"
#include "nvtd/soap/writers.h"

namespace nvtd {
namespace {

IrCutMode ir_cut_in_force() {
  std::string value;
  if (camera_state::read(camera_state::kDirectory, camera_state::kIrCutMode, &value) != 0) {
    return IrCutMode::kAuto;
  }
  return ir_cut_from_state(value);
}

// Sends the fault for a failed check; true when the request may go on.
bool passes(RequestCheck check, Reply& reply) {
  if (check == RequestCheck::kNoSource) send_catalogue_fault(reply, Fault::kNoSource);
  if (check == RequestCheck::kSettingsInvalid) send_catalogue_fault(reply, Fault::kSettingsInvalid);
  return check == RequestCheck::kOk;
}

void send_empty(Reply& reply, const char* operation) {
  send_body(reply, kImagingEmptyResponse, operation, operation);
}

// Starts a job and answers for it: empty, busy, or a receiver failure.
void start_and_answer(const FocusJob& job, const char* operation, Reply& reply) {
  int started = start_focus_job(job);
  if (started == 0) {
    send_empty(reply, operation);
  } else if (started == 1) {
    send_catalogue_fault(reply, Fault::kFocusBusy);
  } else {
    trace("focus job not started\n");
    send_catalogue_fault(reply, Fault::kUnsupportedCommand);
  }
}

}  // namespace

HandlerOutcome handle_get_imaging_settings(const Request& request, Reply& reply) {
  if (!passes(check_video_source(request.body), reply)) return HandlerOutcome::kAnswered;
  bool autofocus = focus_activity() == FocusActivity::kAutofocus;
  send_body(reply, kImagingSettingsResponse, autofocus ? "AUTO" : "MANUAL",
            ir_cut_name(ir_cut_in_force()));
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_set_imaging_settings(const Request& request, Reply& reply) {
  SettingsChange change;
  if (!passes(read_settings_change(request.body, &change), reply)) return HandlerOutcome::kAnswered;
  bool autofocus = change.autofocus.value_or(false);
  if (autofocus && focus_activity() != FocusActivity::kIdle) {
    send_catalogue_fault(reply, Fault::kFocusBusy);
    return HandlerOutcome::kAnswered;
  }
  if (change.ir_cut && camera_state::write(camera_state::kDirectory, camera_state::kIrCutMode,
                                           ir_cut_state_value(*change.ir_cut)) != 0) {
    trace("ircut-mode not written\n");
    send_catalogue_fault(reply, Fault::kUnsupportedCommand);
    return HandlerOutcome::kAnswered;
  }
  if (autofocus) {
    start_and_answer(FocusJob{FocusJobKind::kAutofocus, 0, 0.0}, "SetImagingSettings", reply);
    return HandlerOutcome::kAnswered;
  }
  send_empty(reply, "SetImagingSettings");
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_get_imaging_options(const Request& request, Reply& reply) {
  if (!passes(check_video_source(request.body), reply)) return HandlerOutcome::kAnswered;
  send_body(reply, "%s", kImagingOptionsResponse);
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_get_move_options(const Request& request, Reply& reply) {
  if (!passes(check_video_source(request.body), reply)) return HandlerOutcome::kAnswered;
  int speed = static_cast<int>(kMaxSpeed);
  send_body(reply, kMoveOptionsResponse, -kMaxRelativeSteps, kMaxRelativeSteps, -speed, speed);
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_focus_move(const Request& request, Reply& reply) {
  FocusMoveRequest move;
  if (!passes(read_focus_move(request.body, &move), reply)) return HandlerOutcome::kAnswered;
  FocusJob job;
  if (move.kind == FocusMoveRequest::Kind::kContinuous) {
    job.kind = FocusJobKind::kContinuous;
    job.speed = move.speed;
  } else {
    job.kind = FocusJobKind::kRelative;
    job.steps = move.steps;
  }
  start_and_answer(job, "Move", reply);
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_focus_stop(const Request& request, Reply& reply) {
  if (!passes(check_video_source(request.body), reply)) return HandlerOutcome::kAnswered;
  stop_focus_move();  // nothing to stop is no error; an autofocus runs on
  send_empty(reply, "Stop");
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_get_imaging_status(const Request& request, Reply& reply) {
  if (!passes(check_video_source(request.body), reply)) return HandlerOutcome::kAnswered;
  bool idle = focus_activity() == FocusActivity::kIdle;
  send_body(reply, kImagingStatusResponse, idle ? "IDLE" : "MOVING");
  return HandlerOutcome::kAnswered;
}

}  // namespace nvtd
