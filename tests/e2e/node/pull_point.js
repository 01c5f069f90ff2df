// Creates a pull-point subscription on the camera with the "onvif" client library and pulls
// until it has seen the motion alarm's Initialized and then a Changed message; prints what
// the library made of each, and the pull answer as received, as one JSON line each.
//   node pull_point.js HOST PORT
'use strict';
const url = require('url');
const { Cam } = require('onvif');

const [host, port] = process.argv.slice(2);
const cam = new Cam({ hostname: host, port: Number(port), autoconnect: false, timeout: 10000 });
cam.uri = { events: url.parse(`http://${host}:${port}/onvif/events_service`) };
// The answers as they arrived (the library strips namespace declarations before parsing).
const received = [];
cam.on('rawResponse', (xml) => received.push(xml));

function fail(stage, err) {
  console.log(JSON.stringify({ stage, error: String(err && err.message || err) }));
  process.exit(1);
}

// One JSON line per motion alarm message: first the Initialized one of the first pull, then
// the first Changed one (pulling again, a bounded number of times, until one comes).
function motionAlarms(pulled) {
  return [].concat(pulled.notificationMessage || []).filter(
    (m) => m.topic._ === 'tns1:VideoSource/MotionAlarm');
}

function operationOf(message) {
  const attrs = message.message.message.$ || {};
  return attrs.PropertyOperation || attrs.propertyOperation;
}

function report(subscription, message) {
  console.log(JSON.stringify({
    address: subscription.subscriptionReference.address.href,
    topic: message.topic._,
    operation: operationOf(message),
    data: message.message.message.data.simpleItem.$,
    source: message.message.message.source.simpleItem.$,
    pullXml: received[received.length - 1],
  }));
}

cam.createPullPointSubscription((err, subscription) => {
  if (err) fail('create', err);
  let pulls = 0;
  let initialized = false;
  const next = () => {
    if (++pulls > 6) fail('pull', 'no change arrived');
    cam.pullMessages({ messageLimit: 10, timeout: 'PT10S' }, (err, pulled) => {
      if (err) fail('pull', err);
      for (const message of motionAlarms(pulled)) {
        const operation = operationOf(message);
        if (!initialized && operation === 'Initialized') {
          initialized = true;
          report(subscription, message);
        } else if (initialized && operation === 'Changed') {
          report(subscription, message);
          process.exit(0);
        }
      }
      next();
    });
  };
  next();
});
