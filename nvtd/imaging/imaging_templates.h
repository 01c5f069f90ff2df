// The imaging service's answers: body templates that follow EnvelopeOpening (printf formats
// over the camera's fixed options and the values read per request).
#pragma once

namespace nvtd {

// IrCutFilter mode, AutoFocusMode.
inline constexpr char kImagingSettingsResponse[] =
    "<SOAP-ENV:Body><timg:GetImagingSettingsResponse><timg:ImagingSettings>"
    "<tt:Focus><tt:AutoFocusMode>%s</tt:AutoFocusMode></tt:Focus>"
    "<tt:IrCutFilter>%s</tt:IrCutFilter>"
    "</timg:ImagingSettings></timg:GetImagingSettingsResponse></SOAP-ENV:Body>"
    "</SOAP-ENV:Envelope>";

inline constexpr char kImagingOptionsResponse[] =
    "<SOAP-ENV:Body><timg:GetOptionsResponse><timg:ImagingOptions>"
    "<tt:Focus><tt:AutoFocusModes>AUTO</tt:AutoFocusModes>"
    "<tt:AutoFocusModes>MANUAL</tt:AutoFocusModes></tt:Focus>"
    "<tt:IrCutFilterModes>ON</tt:IrCutFilterModes><tt:IrCutFilterModes>OFF</tt:IrCutFilterModes>"
    "<tt:IrCutFilterModes>AUTO</tt:IrCutFilterModes>"
    "</timg:ImagingOptions></timg:GetOptionsResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>";

// Relative distance bounds (steps), Continuous speed bounds.
inline constexpr char kMoveOptionsResponse[] =
    "<SOAP-ENV:Body><timg:GetMoveOptionsResponse><timg:MoveOptions>"
    "<tt:Relative><tt:Distance><tt:Min>%d</tt:Min><tt:Max>%d</tt:Max></tt:Distance></tt:Relative>"
    "<tt:Continuous><tt:Speed><tt:Min>%d</tt:Min><tt:Max>%d</tt:Max></tt:Speed></tt:Continuous>"
    "</timg:MoveOptions></timg:GetMoveOptionsResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>";

// MoveStatus. The lens reports no position: Position is 0 and Error says so.
inline constexpr char kImagingStatusResponse[] =
    "<SOAP-ENV:Body><timg:GetStatusResponse><timg:Status><tt:FocusStatus20>"
    "<tt:Position>0</tt:Position><tt:MoveStatus>%s</tt:MoveStatus>"
    "<tt:Error>position not known</tt:Error>"
    "</tt:FocusStatus20></timg:Status></timg:GetStatusResponse></SOAP-ENV:Body>"
    "</SOAP-ENV:Envelope>";

// An empty answer: SetImagingSettings, Move, Stop.
inline constexpr char kImagingEmptyResponse[] =
    "<SOAP-ENV:Body><timg:%sResponse></timg:%sResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>";

}  // namespace nvtd
