// Walks the npm "onvif" client's media flow as an application does: connect (which picks
// Media2 when GetServices lists it and its GetProfiles answers), profiles, the first
// profile's stream and snapshot URIs, the video encoder configurations with their options,
// and a SetVideoEncoderConfiguration of the second one (frame rate and bit rate changed),
// which the client reads back. Prints one JSON object, with whether the client still
// uses Media2 at the end.
// Usage: node media2_flow.js HOST PORT USER PASSWORD FPS KBPS
'use strict';
const { Cam } = require('onvif');

const [hostname, port, username, password, fps, kbps] = process.argv.slice(2);
const cam = new Cam({ hostname, port: Number(port), username, password, autoconnect: false,
  timeout: 20000 });

function step(name, call) {
  return new Promise((resolve, reject) => {
    call((err, data) => (err ? reject(new Error(name + ': ' + err.message)) : resolve(data)));
  });
}

function encoder(c) {
  return { token: c.$.token, encoding: c.encoding, width: c.resolution.width,
    height: c.resolution.height, fps: c.rateControl.frameRateLimit,
    kbps: c.rateControl.bitrateLimit, gov: c.$.GovLength, profile: c.$.Profile };
}

(async () => {
  await step('connect', (cb) => cam.connect(cb));
  const media2AfterConnect = cam.media2Support;
  const profiles = cam.profiles.map((p) => ({
    token: p.$.token,
    encoder: p.videoEncoderConfiguration ? p.videoEncoderConfiguration.$.token : null,
    audio: Boolean(p.audioEncoderConfiguration),
  }));
  const profileToken = profiles[0].token;
  const stream = await step('getStreamUri',
    (cb) => cam.getStreamUri({ protocol: 'RTSP', profileToken }, cb));
  const snapshot = await step('getSnapshotUri', (cb) => cam.getSnapshotUri({ profileToken }, cb));
  const configs = await step('getVideoEncoderConfigurations',
    (cb) => cam.getVideoEncoderConfigurations(cb));
  const target = configs[1];
  const options = await step('getVideoEncoderConfigurationOptions',
    (cb) => cam.getVideoEncoderConfigurationOptions({ configurationToken: target.$.token }, cb));
  const changed = { ...target, rateControl: { ...target.rateControl,
    frameRateLimit: Number(fps), bitrateLimit: Number(kbps) } };
  const after = await step('setVideoEncoderConfiguration',
    (cb) => cam.setVideoEncoderConfiguration(changed, cb));
  console.log(JSON.stringify({
    media2AfterConnect, media2AtEnd: cam.media2Support, services: Object.keys(cam.uri),
    profiles, stream: stream.uri, snapshot: snapshot.uri, encoders: configs.map(encoder),
    options: Object.keys(options), after: after.map(encoder),
  }));
})().catch((err) => {
  console.error(err.message);
  process.exit(1);
});
