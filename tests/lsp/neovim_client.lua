-- Neovim's own LSP client against korvath-lsp (Neovim 0.7's API:
-- start_client and buf_attach_client). Run headless:
--   KORVATH_LSP=... KORVATH_PROJECT=... KORVATH_FILE=... KORVATH_KIND=sample|generated \
--   nvim --headless --clean -c 'luafile neovim_client.lua'
-- (KORVATH_KIND=matlab: the MATLAB mode on neovim_test.sh's class project.)
-- Exits 0 when every check holds, 1 otherwise, saying which failed.
local server = os.getenv('KORVATH_LSP')
local root = os.getenv('KORVATH_PROJECT')
local file = os.getenv('KORVATH_FILE')
local kind = os.getenv('KORVATH_KIND')
local failures = 0

local function say(text) io.stdout:write(text .. '\n') end
local function check(ok, what)
  if not ok then
    failures = failures + 1
    say('FAIL: ' .. what)
  else
    say('ok: ' .. what)
  end
end
local function finish()
  say(failures == 0 and 'all checks passed' or (failures .. ' checks failed'))
  vim.cmd(failures == 0 and 'qall!' or 'cquit!')
end

local id = vim.lsp.start_client({
  cmd = { server },
  root_dir = root,
  init_options = kind == 'matlab' and { resolve = 'matlab' } or nil,
  on_stderr = function(_, data) io.stderr:write(data) end,
})
vim.cmd('edit ' .. vim.fn.fnameescape(file))
local buf = vim.api.nvim_get_current_buf()
vim.lsp.buf_attach_client(buf, id)
local ready = vim.wait(20000, function()
  local client = vim.lsp.get_client_by_id(id)
  return client ~= nil and client.initialized
end, 20)
check(ready, 'the server initialized')
if not ready then return finish() end

local uri = vim.uri_from_bufnr(buf)
local function ask(method, params)
  local replies, err = vim.lsp.buf_request_sync(buf, method, params, 20000)
  if not replies or not replies[id] then
    say('no reply to ' .. method .. ': ' .. tostring(err))
    return nil
  end
  if replies[id].err then say(method .. ' error: ' .. vim.inspect(replies[id].err)) end
  return replies[id].result
end
local function at(line, character)
  return { textDocument = { uri = uri }, position = { line = line, character = character } }
end
local function names(calls, field)
  local set = {}
  for _, call in ipairs(calls or {}) do set[#set + 1] = call[field].name end
  table.sort(set)
  return table.concat(set, ' ')
end
local function basename(u) return u:match('[^/]*$') end

if kind == 'sample' then
  local items = ask('textDocument/prepareCallHierarchy', at(0, 10))
  check(items and #items == 1 and items[1].name == 'main', 'prepare on main.m names main')
  local out = ask('callHierarchy/outgoingCalls', { item = items[1] })
  check(names(out, 'to') == 'analyse debug_dump load_data plot_result report',
        'main calls analyse debug_dump load_data plot_result report: ' .. names(out, 'to'))
  for _, call in ipairs(out or {}) do
    if call.to.name == 'load_data' then
      local r = call.fromRanges[1]
      check(r.start.line == 2 and r.start.character == 7 and r['end'].character == 16,
            'load_data is called at 2:7-16')
    end
  end
  local def = ask('textDocument/definition', at(3, 12))
  def = def and (def[1] or def)
  check(def and basename(def.uri) == 'analyse.m' and def.range.start.line == 0,
        'definition of analyse is analyse.m line 0')
  local analyse = ask('textDocument/prepareCallHierarchy', at(3, 12))
  local inc = ask('callHierarchy/incomingCalls', { item = analyse[1] })
  check(names(inc, 'from') == 'main', 'analyse is called by main: ' .. names(inc, 'from'))
  local refs = ask('textDocument/references',
                   vim.tbl_extend('force', at(7, 6), { context = { includeDeclaration = false } }))
  check(refs and #refs == 1 and basename(refs[1].uri) == 'main.m' and refs[1].range.start.line == 7,
        'report is referenced once, in main.m line 7')
  -- The buffer loses the call of debug_dump (line 10), unsaved.
  vim.api.nvim_buf_set_lines(buf, 10, 11, false, { '% gone' })
  vim.wait(300)
  out = ask('callHierarchy/outgoingCalls', { item = items[1] })
  check(names(out, 'to') == 'analyse load_data plot_result report',
        'after the edit main no longer calls debug_dump: ' .. names(out, 'to'))
  local dd = ask('workspace/symbol', { query = 'debug_dump' })
  local callers = dd and #dd > 0 and ask('callHierarchy/incomingCalls',
      { item = { name = 'debug_dump', kind = 12, uri = dd[1].location.uri,
                 range = dd[1].location.range, selectionRange = dd[1].location.range } })
  check(callers and #callers == 0, 'debug_dump has no callers left')
elseif kind == 'matlab' then
  local items = ask('textDocument/prepareCallHierarchy', at(0, 10))
  check(items and #items == 1 and items[1].name == 'main', 'prepare on main.m names main')
  local out = ask('callHierarchy/outgoingCalls', { item = items[1] })
  check(names(out, 'to') == 'Counter.make Shape geom.dist main>twice private/helper',
        'main calls its functions by MATLAB\'s rules: ' .. names(out, 'to'))
  for _, call in ipairs(out or {}) do
    if call.to.name == 'main>twice' then
      local r = call.fromRanges[1]
      check(r.start.line == 3 and r.start.character == 25 and r['end'].character == 30
            and call.to.range.start.line == 7 and call.to.range['end'].line == 12,
            'twice is called at 3:25-30 and spans lines 7 to 12')
    end
  end
  local twice = ask('textDocument/prepareCallHierarchy', at(3, 27))
  local inner = twice and ask('callHierarchy/outgoingCalls', { item = twice[1] })
  check(names(inner, 'to') == 'main>inner', 'twice calls its nested inner: ' .. names(inner, 'to'))
  local def = ask('textDocument/definition', at(1, 5))
  def = def and (def[1] or def)
  check(def and def.uri:match('/private/helper%.m$') ~= nil,
        'helper is the private one: ' .. (def and def.uri or 'nil'))
  local hover = ask('textDocument/hover', at(2, 5))
  check(hover and hover.contents.value:find('class constructor', 1, true) ~= nil,
        'hover on Shape says class constructor')
  local refs = ask('textDocument/references',
                   vim.tbl_extend('force', at(8, 5), { context = { includeDeclaration = false } }))
  check(refs and #refs == 1 and refs[1].range.start.line == 8 and refs[1].range.start.character == 4,
        'inner is referenced once, at 8:4')
  -- The buffer loses the call of helper (line 1), unsaved.
  vim.api.nvim_buf_set_lines(buf, 1, 2, false, { 'x = 1;' })
  vim.wait(300)
  out = ask('callHierarchy/outgoingCalls', { item = items[1] })
  check(names(out, 'to') == 'Counter.make Shape geom.dist main>twice',
        'after the edit main no longer calls helper: ' .. names(out, 'to'))
else
  local items = ask('textDocument/prepareCallHierarchy', at(0, 10))
  local me = items and items[1]
  check(me ~= nil, 'prepare on the first function')
  if not me then return finish() end
  local out = ask('callHierarchy/outgoingCalls', { item = me }) or {}
  check(#out > 0, #out .. ' outgoing calls')
  -- Both directions agree, and each call site names its callee.
  local agreeing, defined = 0, 0
  local lines = vim.api.nvim_buf_get_lines(buf, 0, -1, false)
  for _, call in ipairs(out) do
    local inc = ask('callHierarchy/incomingCalls', { item = call.to }) or {}
    for _, c in ipairs(inc) do
      if c.from.name == me.name then agreeing = agreeing + 1 end
    end
    local r = call.fromRanges[1]
    local text = lines[r.start.line + 1]:sub(r.start.character + 1, r['end'].character)
    if text == call.to.name then
      local def = ask('textDocument/definition', at(r.start.line, r.start.character))
      def = def and (def[1] or def)
      if def and basename(def.uri) == call.to.name .. '.m' then defined = defined + 1 end
    end
  end
  check(agreeing == #out, 'every callee lists ' .. me.name .. ' among its callers')
  check(defined > 0, defined .. ' call sites lead to their definitions')
  -- References of the first callee: its callers' call sites, one by one.
  local first = out[1]
  local r = first.fromRanges[1]
  local refs = ask('textDocument/references', vim.tbl_extend('force',
      at(r.start.line, r.start.character), { context = { includeDeclaration = false } })) or {}
  local sites = 0
  for _, c in ipairs(ask('callHierarchy/incomingCalls', { item = first.to }) or {}) do
    sites = sites + #c.fromRanges
  end
  check(#refs == sites and sites > 0, first.to.name .. ': ' .. #refs .. ' references, ' .. sites .. ' call sites')
  -- The whole buffer becomes one call of the last callee.
  local last = out[#out].to.name
  vim.api.nvim_buf_set_lines(buf, 1, -1, false, { last .. '(1);' })
  vim.wait(300)
  local after = ask('callHierarchy/outgoingCalls', { item = me }) or {}
  check(#after == 1 and after[1].to.name == last, 'after the edit only ' .. last .. ' is called')
end
finish()
