// The device and media flow of an application on the npm "onvif" client with WS-Security off
// (useWSSecurity: false), so HTTP Digest alone: connect, the device service's reads, the media
// service's stream and snapshot addresses. Each step's outcome is recorded; prints one JSON object.
// Usage: node digest_flow.js HOST PORT USER PASSWORD
'use strict';
const { Cam } = require('onvif');

const [hostname, port, username, password] = process.argv.slice(2);
const cam = new Cam({ hostname, port: Number(port), username, password, autoconnect: false,
  useWSSecurity: false, timeout: 20000 });
const steps = {};

function step(name, call = (cb) => cam[name](cb)) {
  return new Promise((resolve) => {
    call((err, data) => {
      steps[name] = err ? 'error: ' + err.message : 'ok';
      resolve(err ? null : data);
    });
  });
}

(async () => {
  const warnings = [];
  cam.on('warning', (w) => warnings.push(String(w)));
  await step('connect');
  const info = await step('getDeviceInformation');
  for (const name of ['getScopes', 'getHostname', 'getNTP', 'getDNS', 'getNetworkInterfaces',
    'getUsers']) await step(name);
  const profiles = await step('getProfiles');
  for (const name of ['getVideoSources', 'getVideoEncoderConfigurations']) await step(name);
  const profileToken = profiles && profiles.length ? profiles[0].$.token : 'stream1';
  const stream = await step('getStreamUri',
    (cb) => cam.getStreamUri({ protocol: 'RTSP', profileToken }, cb));
  const snapshot = await step('getSnapshotUri', (cb) => cam.getSnapshotUri({ profileToken }, cb));
  console.log(JSON.stringify({
    steps, warnings, model: info && info.model,
    profiles: (profiles || []).map((p) => p.$.token),
    stream: stream && stream.uri, snapshot: snapshot && snapshot.uri,
  }));
})().catch((err) => {
  console.error(err.stack || String(err));
  process.exit(1);
});
