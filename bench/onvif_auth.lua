-- wrk script: authenticated ONVIF requests to nvtd, one request per connection, each with
-- its own WS-Security UsernameToken (password digest over a fresh nonce), as nvtd accepts a
-- (Nonce, Created) pair only once. Arguments after "--": MODE USER PASSWORD, where MODE is
--   device    GetDeviceInformation
--   profiles  GetProfiles
--   events    pull-point cycles: CreatePullPointSubscription (ending after 5 s), PullMessages
--             (PT0S, answered at once with the initial state), Unsubscribe; prints the cycles
--             per second
--   device-digest  GetDeviceInformation with HTTP Digest in place of the UsernameToken; takes
--             NONCE REALM [MD5|SHA-256] after the password: one nonce the camera gave for the
--             whole run, each request with the next nc (qop auth, a fresh cnonce)
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
  unsigned char* MD5(const unsigned char* data, size_t length, unsigned char* digest);
  unsigned char* SHA256(const unsigned char* data, size_t length, unsigned char* digest);
  int EVP_EncodeBlock(unsigned char* out, const unsigned char* in, int length);
]]
local band, rshift = bit.band, bit.rshift

local digest_bytes = ffi.new("unsigned char[32]")
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

-- Each byte's two lower-case hex digits: the Digest client spends on its hex no more than
-- the token client on its Base64 (OpenSSL's).
local hex_of = {}
for byte = 0, 255 do hex_of[string.char(byte)] = string.format("%02x", byte) end

-- Lower-case hex of MD5 or SHA-256 (HTTP Digest's H).
local function hex_digest(algorithm, message)
  local size = 16
  if algorithm == "SHA-256" then
    crypto.SHA256(message, #message, digest_bytes)
    size = 32
  else
    crypto.MD5(message, #message, digest_bytes)
  end
  return (ffi.string(digest_bytes, size):gsub(".", hex_of))
end

-- A wrong digest would only show as refusals: check the binding before the load starts.
assert(base64(sha1("abc")) == "qZk+NkcGgWq6PiVxeFDCbJzQ2J0=", "sha1 or base64 is broken")
assert(hex_digest("MD5", "abc") == "900150983cd24fb0d6963f7d28e17f72", "md5 is broken")
assert(hex_digest("SHA-256", "abc"):sub(1, 16) == "ba7816bf8f01cfea", "sha256 is broken")
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
local digest  -- device-digest: {nonce, realm, algorithm, ha1, ha2}
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

-- The Authorization header of the next request with the run's nonce (RFC 7616, qop auth).
local function authorization(path)
  sent = sent + 1
  local nc = string.format("%08x", sent)
  local cnonce = string.format("%08x%08x", math.random(0, 0x7fffffff), sent)
  local response = hex_digest(digest.algorithm, digest.ha1 .. ":" .. digest.nonce .. ":" .. nc ..
                                                ":" .. cnonce .. ":auth:" .. digest.ha2)
  return 'Digest username="' .. user .. '", realm="' .. digest.realm .. '", nonce="' ..
         digest.nonce .. '", uri="' .. path .. '", algorithm=' .. digest.algorithm ..
         ', qop=auth, nc=' .. nc .. ', cnonce="' .. cnonce .. '", response="' .. response .. '"'
end

local function post(path, action, header, body)
  local headers = {
    ["Content-Type"] = 'application/soap+xml; charset=utf-8; action="' .. action .. '"',
    ["Connection"] = "close",
  }
  local security_header = ""
  if digest then
    headers["Authorization"] = authorization(path)
  else
    security_header = security()
  end
  local envelope = '<?xml version="1.0" encoding="UTF-8"?>' ..
    '<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope" ' ..
    'xmlns:a="http://www.w3.org/2005/08/addressing" xmlns:tds="' .. TDS .. '" xmlns:trt="' ..
    TRT .. '" xmlns:tev="' .. TEV .. '" xmlns:wsnt="' .. WSNT .. '"><s:Header>' ..
    security_header .. header .. "</s:Header><s:Body>" .. body .. "</s:Body></s:Envelope>"
  return wrk.format("POST", path, headers, envelope)
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
  elseif mode == "device-digest" then
    local algorithm = args[6] or "MD5"
    digest = {nonce = assert(args[4], "device-digest: NONCE REALM [ALGORITHM]"),
              realm = assert(args[5], "device-digest: NONCE REALM [ALGORITHM]"),
              algorithm = algorithm,
              ha1 = hex_digest(algorithm, user .. ":" .. args[5] .. ":" .. password),
              ha2 = hex_digest(algorithm, "POST:/onvif/device_service")}
    math.randomseed(tonumber(nonce_prefix:byte(1)) * 65536 + nonce_prefix:byte(2))
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
