-- wrk script for bench/server_load.sh: the game's traffic against the score server, two rank
-- downloads for every signed upload. Each thread walks its own share of the precomputed
-- upload paths. wrk args: the Lua file returning those paths, and the thread count of all
-- the wrk processes together; the environment variable ORBELLE_LOAD_SENT names the file where
-- done() writes what was sent, and ORBELLE_LOAD_FIRST_ID the number of this wrk's first
-- thread when several load several servers at once.
local rankPath = "/velmo/orbelle/haeennatykset.php?sija="
local threads = {}
local nextId = tonumber(os.getenv("ORBELLE_LOAD_FIRST_ID") or "0")

function setup(thread)
   thread:set("id", nextId)
   nextId = nextId + 1
   table.insert(threads, thread)
end

function init(args)
   uploads = dofile(args[1])
   threadCount = tonumber(args[2])
   sent = 0
   turn = 0
end

function request()
   turn = turn + 1
   if turn % 3 ~= 0 then
      return wrk.format("GET", rankPath .. tostring(turn % 10 + 1))
   end
   -- Indices id, id + threadCount, ... (1-based in Lua), cycling through this thread's share.
   local share = math.floor((#uploads - id - 1) / threadCount) + 1
   local index = id + (sent % share) * threadCount + 1
   sent = sent + 1
   return wrk.format("GET", uploads[index])
end

-- Writes, for each thread, how many uploads it sent, so the check knows which must be stored.
function done(summary, latency, requests)
   local out = assert(io.open(os.getenv("ORBELLE_LOAD_SENT"), "w"))
   for _, thread in ipairs(threads) do
      out:write(string.format("%d %d\n", thread:get("id"), thread:get("sent")))
   end
   out:close()
end
