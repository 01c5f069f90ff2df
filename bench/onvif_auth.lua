-- wrk script: authenticated ONVIF requests to nvtd, one request per connection, each with
-- its own WS-Security UsernameToken (password digest over a fresh nonce), as nvtd accepts a
-- (Nonce, Created) pair only once. Arguments after "--": MODE USER PASSWORD, where MODE is
--   device    GetDeviceInformation
--   profiles  GetProfiles
--   events    pull-point cycles: CreatePullPointSubscription (ending after 5 s), PullMessages
--             (PT0S, answered at once with the initial state), Unsubscribe; prints the cycles
--             per second
-- Created lies 300 s behind the clock, at the edge of nvtd's window: nvtd then forgets each
-- accepted pair when the second ends, so that its table of remembered tokens never fills
-- during a run (a token Created now would be remembered for 300 s). In the last 50 ms of a
-- second the next second is used, so that no token turns stale on its way.
local bit = require("bit")
local ffi = require("ffi")
ffi.cdef [[
  typedef struct { long tv_sec; long tv_usec; } bench_timeval;
  int gettimeofday(bench_timeval* tv, void* zone);
]]
local crypto = ffi.load("libcrypto.so.3")
ffi.cdef [[
  unsigned char* SHA1(const unsigned char* data, size_t length, unsigned char* digest);
  int EVP_EncodeBlock(unsigned char* out, const unsigned char* in, int length);
]]
local band, rshift = bit.band, bit.rshift

local digest_bytes = ffi.new("unsigned char[20]")
local encoded = ffi.new("unsigned char[64]")

-- SHA-1 of a string, as 20 bytes (OpenSSL's: the token costs wrk little next to nvtd).
local function sha1(message)
  crypto.SHA1(message, #message, digest_bytes)
  return ffi.string(digest_bytes, 20)
end

-- Standard base64 of a short string (a nonce or a digest).
local function base64(data)
  assert(#data <= 45)
  return ffi.string(encoded, crypto.EVP_EncodeBlock(encoded, data, #data))
end

-- A wrong digest would only show as refusals: check the binding before the load starts.
assert(base64(sha1("abc")) == "qZk+NkcGgWq6PiVxeFDCbJzQ2J0=", "sha1 or base64 is broken")
assert(base64("ab") == "YWI=" and base64("abc") == "YWJj" and base64("a") == "YQ==")

local WSSE = "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-secext-1.0.xsd"
local WSU = "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-utility-1.0.xsd"
local DIGEST = "http://docs.oasis-open.org/wss/2004/01/" ..
               "oasis-200401-wss-username-token-profile-1.0#PasswordDigest"
local TDS = "http://www.onvif.org/ver10/device/wsdl"
local TRT = "http://www.onvif.org/ver10/media/wsdl"
local TEV = "http://www.onvif.org/ver10/events/wsdl"
local WSNT = "http://docs.oasis-open.org/wsn/b-2"

local user, password
local nonce_prefix
local sent = 0

local clock = ffi.new("bench_timeval")

local function created_stamp()
  ffi.C.gettimeofday(clock, nil)
  local second = tonumber(clock.tv_sec)
  if clock.tv_usec >= 950000 then second = second + 1 end
  return os.date("!%Y-%m-%dT%H:%M:%SZ", second - 300)
end

local function security()
  sent = sent + 1
  local nonce = nonce_prefix .. string.char(band(rshift(sent, 24), 255),
                                            band(rshift(sent, 16), 255),
                                            band(rshift(sent, 8), 255), band(sent, 255))
  local created = created_stamp()
  local digest = base64(sha1(nonce .. created .. password))
  return '<wsse:Security xmlns:wsse="' .. WSSE .. '" xmlns:wsu="' .. WSU ..
         '"><wsse:UsernameToken><wsse:Username>' .. user ..
         '</wsse:Username><wsse:Password Type="' .. DIGEST .. '">' .. digest ..
         "</wsse:Password><wsse:Nonce>" .. base64(nonce) .. "</wsse:Nonce><wsu:Created>" ..
         created .. "</wsu:Created></wsse:UsernameToken></wsse:Security>"
end

local function post(path, action, header, body)
  local envelope = '<?xml version="1.0" encoding="UTF-8"?>' ..
    '<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope" ' ..
    'xmlns:a="http://www.w3.org/2005/08/addressing" xmlns:tds="' .. TDS .. '" xmlns:trt="' ..
    TRT .. '" xmlns:tev="' .. TEV .. '" xmlns:wsnt="' .. WSNT .. '"><s:Header>' .. security() ..
    header .. "</s:Header><s:Body>" .. body .. "</s:Body></s:Envelope>"
  return wrk.format("POST", path, {
    ["Content-Type"] = 'application/soap+xml; charset=utf-8; action="' .. action .. '"',
    ["Connection"] = "close",
  }, envelope)
end

local function device_request()
  return post("/onvif/device_service", TDS .. "/GetDeviceInformation", "",
              "<tds:GetDeviceInformation/>")
end

local function profiles_request()
  return post("/onvif/media_service", TRT .. "/GetProfiles", "", "<trt:GetProfiles/>")
end

-- The cycle: each answer tells which step of which subscription comes next. With one
-- request per connection the answers arrive on any connection, so the pull carries its
-- subscription in its MessageID, which nvtd echoes.
local to_pull, to_unsubscribe = {}, {}
cycles, unexpected = 0, 0

local function events_request()
  local id = table.remove(to_unsubscribe)
  if id then
    return post("/onvif/events_service", WSNT .. "/SubscriptionManager/UnsubscribeRequest",
                "<SubscriptionId>" .. id .. "</SubscriptionId>", "<wsnt:Unsubscribe/>")
  end
  id = table.remove(to_pull)
  if id then
    return post("/onvif/events_service", TEV .. "/PullPointSubscription/PullMessagesRequest",
                "<SubscriptionId>" .. id .. "</SubscriptionId><a:MessageID>urn:bench:pull:" ..
                id .. "</a:MessageID>",
                "<tev:PullMessages><tev:Timeout>PT0S</tev:Timeout>" ..
                "<tev:MessageLimit>10</tev:MessageLimit></tev:PullMessages>")
  end
  return post("/onvif/events_service",
              TEV .. "/EventPortType/CreatePullPointSubscriptionRequest", "",
              "<tev:CreatePullPointSubscription><tev:InitialTerminationTime>PT5S" ..
              "</tev:InitialTerminationTime></tev:CreatePullPointSubscription>")
end

local function events_response(status, headers, body)
  if body:find("CreatePullPointSubscriptionResponse", 1, true) then
    local id = body:match("SubscriptionId[^>]*>(%d+)<")
    if id then
      to_pull[#to_pull + 1] = id
      return
    end
  elseif body:find("PullMessagesResponse", 1, true) then
    local id = body:match("urn:bench:pull:(%d+)")
    if id then
      to_unsubscribe[#to_unsubscribe + 1] = id
      return
    end
  elseif body:find("UnsubscribeResponse", 1, true) then
    cycles = cycles + 1
    return
  end
  unexpected = unexpected + 1
end

local threads = {}

function setup(thread)
  threads[#threads + 1] = thread
end

function init(args)
  local mode = args[1]
  user, password = args[2], args[3]
  assert(user and password, "arguments: MODE USER PASSWORD")
  local random = assert(io.open("/dev/urandom", "rb"))
  nonce_prefix = random:read(12)  -- and a counter: every nonce of the run differs
  random:close()
  if mode == "device" then
    request = device_request
  elseif mode == "profiles" then
    request = profiles_request
  elseif mode == "events" then
    request = events_request
    response = events_response
  else
    error("unknown mode " .. tostring(mode))
  end
end

function done(summary)
  local total, odd = 0, 0
  for _, thread in ipairs(threads) do
    total = total + (thread:get("cycles") or 0)
    odd = odd + (thread:get("unexpected") or 0)
  end
  if total > 0 or odd > 0 then
    io.write(string.format("Cycles/sec: %.2f\nUnexpected answers: %d\n",
                           total / (summary.duration / 1e6), odd))
  end
end
